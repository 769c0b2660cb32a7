"""ostrell on NumPy arrays: one double-double per row of an (N, 2) float64
array (high part, low part), combined row by row without a Python object per
value.

The sum of 1/(k(k+1)) for k = 1 ... N telescopes to N/(N+1).  Summed in
double-double it keeps about 32 digits; float64 keeps about 16, fewer when
the terms are added one after another."""
import math
from fractions import Fraction

import numpy as np

import ostrell
from ostrell import Float128

N = 1_000_000


def rows(values):
    """Each float64 value as an exact double-double row (value, 0)."""
    return np.stack([values, np.zeros_like(values)], axis=1)


def as_float128(row):
    """The row as a Float128 (exact: a normalised row's two parts add exactly)."""
    return Float128(float(row[0])) + Float128(float(row[1]))


def pairwise_sum(a):
    """Sum of all rows, adding halves with add_arrays: log2(N) calls."""
    while len(a) > 1:
        if len(a) % 2:
            a = np.vstack([a, [[0.0, 0.0]]])
        a = ostrell.add_arrays(a[0::2], a[1::2])   # strided views are read as they are
    return a[0]


k = rows(np.arange(1, N + 1, dtype=np.float64))
ones = rows(np.ones(N))

# The four array functions: k + 1, k(k + 1), 1/(k(k + 1)), and the check at the end.
k_plus_1 = ostrell.add_arrays(k, ones)
denominators = ostrell.mul_arrays(k, k_plus_1)
terms = ostrell.div_arrays(ones, denominators)
print("first terms as (high, low) rows:")
with np.printoptions(precision=17):
    print(terms[:3])

total = pairwise_sum(terms)
quotient = ostrell.div_arrays([[N, 0.0]], [[N + 1, 0.0]])[0]
difference = ostrell.sub_arrays([total], [quotient])[0]

# float64: the same terms rounded to binary64, added in order and pairwise.
terms64 = 1.0 / (np.arange(1, N + 1, dtype=np.float64) * np.arange(2, N + 2, dtype=np.float64))
in_order = float(np.cumsum(terms64)[-1])
pairwise64 = float(np.sum(terms64))

exact = Fraction(N, N + 1)
print(f"\nsum of 1/(k(k+1)) for k = 1 ... {N} = N/(N+1) = {as_float128(quotient)}")
print(f"  {'':<18} {'sum':<34} {'error':>9}  correct digits")
for name, hi, lo in (("double-double", *map(float, total)),
                     ("float64 in order", in_order, 0.0),
                     ("float64 pairwise", pairwise64, 0.0)):
    error = Fraction(hi) + Fraction(lo) - exact          # exact, from the binary parts
    text = str(as_float128([hi, lo])) if lo else repr(hi)
    print(f"  {name:<18} {text:<34} {float(error):+9.1e}  {-math.log10(abs(error / exact)):.1f}")
print(f"\ndouble-double sum minus the double-double N/(N+1), by sub_arrays: {difference.tolist()}")
