"""Division where the binary64 steps overflow although the quotient is
finite (a dividend whose high part is the largest binary64, or a quotient at
the top of the range), as a Python user meets it; references from mpmath."""
import math
import sys

import mpmath
import numpy as np
import pytest

import ostrell
from ostrell import Complex128, Float128 as F
from ddvalues import hx, parts

MAX = sys.float_info.max


def rel_err_units(x, want):
    hi, lo = parts(x)
    with mpmath.workprec(400):
        got = mpmath.mpf(hi) + mpmath.mpf(lo)
        return float(abs(got - want) / abs(want) * mpmath.mpf(2) ** 104)


@pytest.mark.parametrize("a", [MAX, -MAX])
@pytest.mark.parametrize("b", [3.0, 1.5, -7.0, 91.27])
def test_largest_over_small_divisors(a, b):
    q = F(a) / F(b)
    with mpmath.workprec(400):
        want = mpmath.mpf(a) / mpmath.mpf(b)
    assert rel_err_units(q, want) <= 4.0, hx(a, b)
    row = ostrell.div_arrays(np.array([[a, 0.0]]), np.array([[b, 0.0]]))[0]
    assert (row[0], row[1]) == parts(q), hx(a, b)


def test_quotient_past_the_largest_is_infinite():
    assert str(F(MAX) / F(0.5)) == "inf" and str(F(-MAX) / F(0.5)) == "-inf"


def test_atan2_fmod_complex_inherit_it():
    with mpmath.workprec(400):
        want = mpmath.atan2(mpmath.mpf(MAX), mpmath.mpf(3.0))
    assert rel_err_units(ostrell.atan2(F(MAX), F(3.0)), want) <= 4.0
    # no remainder at this precision: NaN, never an infinite remainder
    r = ostrell.fmod(F(-MAX), F(3.0))
    assert not ostrell.isinf(r)
    z = Complex128(F(7.7e73), F(MAX)) / Complex128(F(3.0), F(6.7e-20))
    assert math.isfinite(float(str(z.real()))) and math.isfinite(float(str(z.imag())))
    assert float(str(z.imag())) == pytest.approx(MAX / 3.0, rel=1e-15)
