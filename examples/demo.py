"""A short tour of ostrell from Python: about 32 significant digits, bit-exact."""
import numpy as np

import ostrell
import ostrell_numpy as onp
from ostrell import Complex128, Float128

print(ostrell.__doc__)

# Text is read to about 32 digits; a float carries its binary64 error along.
tenth = Float128("0.1")
print("Float128('0.1')     =", tenth)
print("Float128(0.1)       =", Float128(0.1))

# Arithmetic only mixes Float128 with Float128.
third = Float128(1) / Float128(3)
print("1/3                 =", third)

# str() writes 32 significant digits, cut rather than rounded, and Float128(text)
# reads them back near the value, not always to its bits.  The companion's
# format() writes the shortest text that parse() reads back to the same pair,
# and format(x, d) the d correctly rounded digits.
print("Float128(str(1/3)) == 1/3:", Float128(str(third)) == third)
print("format(1/3)         =", onp.format(third))
print("parse(format(1/3)) == 1/3:", onp.parse(onp.format(third)) == third)
print("format(1/3, 40)     =", onp.format(third, 40))
print("0.1 * pi            =", repr(tenth * ostrell.pi))

# Module functions; printing truncates after 32 digits.
print("pi                  =", ostrell.pi)
print("sqrt(2)             =", ostrell.sqrt(Float128(2)))
print("exp(1)              =", ostrell.exp(Float128(1)))
print("atan(1) * 4         =", ostrell.atan(Float128(1)) * Float128(4))
print("sin(pi / 6)         =", ostrell.sin(ostrell.pi / Float128(6)))

# Complex numbers; a Python float, int or complex converts to Complex128.
z = Complex128(1.0, 2.0)
print("(1+2i) * (3-4i)     =", z * (3 - 4j))
print("sin(1+2i)           =", ostrell.sin(z))
print("|3+4i|              =", ostrell.abs(Complex128(3, 4)))

# Arrays: one value per row, high part then low part; no object per value.
a = np.array([[1.0, 0.0], [2.0, 0.0], [3.0, 0.0]])
b = np.array([[3.0, 0.0], [7.0, 0.0], [9.0, 0.0]])
q = ostrell.div_arrays(a, b)
print("[1, 2, 3] / [3, 7, 9] as (high, low) rows, and as Float128:")
for hi, lo in q:
    print(f"    ({float(hi)!r}, {float(lo)!r})  {Float128(hi) + Float128(lo)}")

# The companion ostrell_numpy: every function element-wise on (N, 2) rows through
# the batch layer (each row has the bits of the scalar function), and sums.
x = onp.from_float64(np.linspace(0.0, 1.0, 5))       # exact rows (v, 0)
print(f"ostrell_numpy on the {onp.isa} path; sqrt and exp of 0, 0.25, ..., 1:")
for r, e in zip(onp.to_strings(onp.sqrt(x)), onp.to_strings(onp.exp(x))):
    print(f"    {r}  {e}")
k = onp.from_float64(np.arange(1.0, 11.0))
harmonic = onp.sum(onp.div(onp.from_float64(np.ones(10)), k))
print("1 + 1/2 + ... + 1/10 =", onp.from_rows([harmonic])[0])
values = [1e16, 1.0, -1e16]
print("sum_float64([1e16, 1, -1e16]) =", onp.sum_float64(values), " np.sum:", np.sum(values))

# The dtype: Float128 values in ordinary NumPy arrays, NumPy's own functions.
v = np.array([Float128(1), Float128(2), Float128(3)], dtype=onp.float128_dtype)
print("np.sqrt(v) / v      =", np.sqrt(v) / v)
print("np.sum(1 / v)       =", np.sum(Float128(1) / v))
