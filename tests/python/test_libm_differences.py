"""Special values where ostrell differs from C99 <math.h> and Python's math:
one entry per row of the README's table, each case checked on all three
(C99 through the C library's own functions via ctypes, scalar doubles only)."""
import ctypes
import ctypes.util
import math

import pytest

import ostrell
from ostrell import Float128 as F
from ddvalues import hx, parts, same

INF, NAN, PI = math.inf, math.nan, math.pi
# The stored π/2 (ostrell.pi / 2, exact).
HALF_PI = ostrell.pi * F(0.5)

libm = ctypes.CDLL(ctypes.util.find_library("m") or "libm.so.6")


def c99(name, *args):
    f = getattr(libm, name)
    f.restype = ctypes.c_double
    f.argtypes = [ctypes.c_double] * len(args)
    return f(*args)


def python(name, *args):
    return round(*args) if name == "round" else getattr(math, name)(*args)


def same_double(got, want):
    if isinstance(want, float) and math.isnan(want):
        return isinstance(got, float) and math.isnan(got)
    return got == want and type(got) is type(want) and math.copysign(1, got) == math.copysign(1, want)


# README row -> cases (function, arguments, ostrell result (hi, lo), C99, Python math)
ROWS = {
    "atan2(±∞, ±∞)": [
        ("atan2", (INF, INF), (NAN, 0.0), PI / 4, PI / 4),
        ("atan2", (-INF, INF), (NAN, 0.0), -PI / 4, -PI / 4),
        ("atan2", (INF, -INF), (NAN, 0.0), 3 * PI / 4, 3 * PI / 4),
        ("atan2", (-INF, -INF), (NAN, 0.0), -3 * PI / 4, -3 * PI / 4),
    ],
    "pow(1, ±∞), pow(1, NaN)": [
        ("pow", (1.0, INF), (NAN, 0.0), 1.0, 1.0),
        ("pow", (1.0, -INF), (NAN, 0.0), 1.0, 1.0),
        ("pow", (1.0, NAN), (NAN, 0.0), 1.0, 1.0),
    ],
    "fmod(x, ±∞), x finite": [
        ("fmod", (1.0, INF), (NAN, 0.0), 1.0, 1.0),
        ("fmod", (-2.5, -INF), (NAN, 0.0), -2.5, -2.5),
    ],
    "sin, tan, asin, atan, sinh, tanh of −0": [
        (name, (-0.0,), (0.0, 0.0), -0.0, -0.0) for name in ("sin", "tan", "asin", "atan", "sinh", "tanh")
    ],
    "floor, ceil, trunc, round with a zero result from −0 or a negative x": [
        ("floor", (-0.0,), (0.0, 0.0), -0.0, 0),
        ("ceil", (-0.0,), (0.0, 0.0), -0.0, 0),
        ("ceil", (-0.5,), (0.0, 0.0), -0.0, 0),
        ("trunc", (-0.0,), (0.0, 0.0), -0.0, 0),
        ("trunc", (-0.5,), (0.0, 0.0), -0.0, 0),
        ("round", (-0.0,), (0.0, 0.0), -0.0, 0),
        ("round", (-0.4,), (0.0, 0.0), -0.0, 0),
    ],
    "fmod(−0, y), fmod(−x, y) with a zero remainder": [
        ("fmod", (-0.0, 1.0), (0.0, 0.0), -0.0, -0.0),
        ("fmod", (-2.0, 1.0), (0.0, 0.0), -0.0, -0.0),
    ],
    "round of a half": [
        ("round", (2.5,), (3.0, 0.0), 3.0, 2),
        ("round", (-2.5,), (-3.0, 0.0), -3.0, -2),
        ("round", (0.5,), (1.0, 0.0), 1.0, 0),
    ],
}


def _cases():
    for row, cases in ROWS.items():
        for case in cases:
            yield pytest.param(case, id=f"{row}: {case[0]}{case[1]}")


@pytest.mark.parametrize("case", list(_cases()))
def test_row(case):
    name, args, (hi, lo), want_c99, want_python = case
    got = getattr(ostrell, name)(*(F(a) for a in args))
    assert same(got, hi, lo), f"{name}({hx(*args)}) = {got}, want ({hx(hi, lo)})"
    assert same_double(c99(name, *args), want_c99), f"C99 {name}({hx(*args)}) = {c99(name, *args)}"
    assert same_double(python(name, *args), want_python), f"Python {name}({hx(*args)})"


def test_tan_at_the_stored_half_pi_is_infinite():
    # The stored π/2 is a little above π/2: tan of it is about -6.7e32, and
    # binary64 tan of the binary64 π/2 (below π/2) about +1.6e16.
    for x in (HALF_PI, -HALF_PI):
        assert same(ostrell.tan(x), -INF, 0.0), f"tan({x}) = {ostrell.tan(x)}"
    mpmath = pytest.importorskip("mpmath")
    with mpmath.workprec(300):
        hi, lo = parts(HALF_PI)
        ref = mpmath.tan(mpmath.mpf(hi) + mpmath.mpf(lo))
        assert -7e32 < ref < -6e32, (hx(hi, lo), ref)
    assert c99("tan", PI / 2) == math.tan(PI / 2) == pytest.approx(1.633123935319537e16)


def test_c99_rint_rounds_a_half_to_even_like_python_round():
    for x in (2.5, -2.5, 0.5):
        assert c99("rint", x) == round(x) != float(str(ostrell.round(F(x))))
