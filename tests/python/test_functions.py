"""Module functions and constants: dispatch between the Float128 and
Complex128 forms, bit identity with the value-class layer, accuracy of the
complex functions, the constants."""
import math
import random
import re
import struct

import mpmath
import pytest

import ostrell
from ostrell import Complex128, Float128 as F
from ddvalues import cplx, hx, parts, real, same

REAL_1 = ["exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "sqrt", "abs",
          "floor", "ceil", "trunc", "round", "atan", "asin", "acos"]
REAL_2 = ["pow", "fmod", "atan2"]
TESTS = ["isnan", "isinf"]
COMPLEX_TO_COMPLEX = ["sin", "cos", "tan", "sinh", "cosh", "tanh"]
COMPLEX_TO_REAL = ["abs", "abs_sqr"]
COMPLEX = COMPLEX_TO_COMPLEX + COMPLEX_TO_REAL
ALL = REAL_1 + REAL_2 + TESTS + ["abs_sqr"]


# ---- dispatch ---------------------------------------------------------------------

@pytest.mark.parametrize("name", ALL)
def test_float128_selects_the_float128_form(name):
    f = getattr(ostrell, name)
    args = [F(0.5)] * (2 if name in REAL_2 else 1)
    if name == "abs_sqr":
        with pytest.raises(TypeError):
            f(*args)
    else:
        assert type(f(*args)) is (bool if name in TESTS else F)


@pytest.mark.parametrize("arg", [0.5, 1, True, 1 + 2j, Complex128(0.5, 1.0)])
@pytest.mark.parametrize("name", ALL)
def test_other_numbers_select_the_complex128_form(name, arg):
    f = getattr(ostrell, name)
    if name not in COMPLEX:                 # nothing converts into Float128
        with pytest.raises(TypeError):
            f(*[arg] * (2 if name in REAL_2 else 1))
        return
    result = f(arg)
    assert type(result) is (Complex128 if name in COMPLEX_TO_COMPLEX else F)
    z = arg if isinstance(arg, Complex128) else Complex128(arg)
    want = f(z)
    if name in COMPLEX_TO_COMPLEX:
        assert str(result) == str(want) and result.real() == want.real() and result.imag() == want.imag()
    else:
        assert str(result) == str(want) and result == want


def test_spec_examples():
    assert type(ostrell.sin(ostrell.pi)) is F
    s = ostrell.sin(1.0)
    assert type(s) is Complex128 and str(s.imag()) == "0.0000000000000000000000000000000"
    assert str(s.real()) == str(ostrell.sin(F(1.0)))
    assert type(ostrell.exp(F(1.0))) is F
    with pytest.raises(TypeError):
        ostrell.exp(1.0)
    assert type(ostrell.abs(Complex128(3.0, 4.0))) is F
    assert str(ostrell.abs(Complex128(3.0, 4.0))) == "5.0000000000000000000000000000000"
    assert ostrell.isnan(F("nan")) is True and ostrell.isinf(F("nan")) is False
    assert ostrell.isinf(F("-inf")) is True and ostrell.isnan(F(1.0)) is False


@pytest.mark.parametrize("name", ALL)
def test_signatures_only(name):
    # no docstring: every line is a signature with automatic argument names
    lines = [line for line in getattr(ostrell, name).__doc__.splitlines() if line]
    if lines[0] == f"{name}(*args, **kwargs)":
        assert lines[1] == "Overloaded function."
        lines = lines[2:]
    assert all(re.fullmatch(rf"(\d\. )?{name}\(arg0: [^)]*\) -> .*", line) for line in lines), lines


# ---- bit identity with the value-class layer --------------------------------------

SPECIAL = [0.0, -0.0, 1.0, -1.0, 0.5, 2.5, -2.5, 1e-300, -1e300, 710.0, math.inf, -math.inf, math.nan]


def random_pairs(rng, n, emin, emax):
    out = []
    for _ in range(n):
        hi = rng.choice([-1, 1]) * rng.uniform(1, 2) * 2.0 ** rng.randint(emin, emax)
        out.append((hi, hi * rng.uniform(-1, 1) * 2.0 ** -54))   # normalised: |lo| < ulp(hi)/2
    return out


def real_operands(seed):
    rng = random.Random(seed)
    return [(s, 0.0) for s in SPECIAL] + random_pairs(rng, 60, -30, 12)


def assert_same_result(got, want, what):
    if isinstance(got, bool):
        assert got == bool(want[0]), what
    elif isinstance(got, Complex128):
        assert same(got.real(), *want[:2]) and same(got.imag(), *want[2:]), \
            f"{what}: got {got}, want {hx(*want)}"
    else:
        assert same(got, *want), f"{what}: got {got}, want {hx(*want)}"


@pytest.mark.parametrize("name", REAL_1 + TESTS)
def test_real_forms_match_the_value_layer(value_layer, name):
    for x in real_operands(name):
        assert_same_result(getattr(ostrell, name)(real(*x)), value_layer(name, x), f"{name} {hx(*x)}")


@pytest.mark.parametrize("name", REAL_2)
def test_two_argument_forms_match_the_value_layer(value_layer, name):
    xs = real_operands(1)
    ys = real_operands(2)
    pairs = list(zip(xs, ys)) + [(x, y) for x in xs[:13] for y in ys[:13]]
    for x, y in pairs:
        got = getattr(ostrell, name)(real(*x), real(*y))
        assert_same_result(got, value_layer(name, x, y), f"{name} {hx(*x, *y)}")


def complex_operands(seed):
    rng = random.Random(seed)
    specials = [(a, 0.0, b, 0.0) for a in (0.0, -0.0, 1.0, math.inf, math.nan) for b in (0.0, -0.0, -2.0, math.inf)]
    rand = random_pairs(rng, 80, -12, 7)
    return specials + [rand[i] + rand[i + 1] for i in range(0, len(rand), 2)]


@pytest.mark.parametrize("name", COMPLEX)
def test_complex_forms_match_the_value_layer(value_layer, name):
    for z in complex_operands(3):
        got = getattr(ostrell, name)(cplx(*z))
        assert_same_result(got, value_layer("c." + name, z), f"{name} {hx(*z)}")


# ---- accuracy of the complex functions ----------------------------------------------
# Normwise relative error in units of 2^-104 on random arguments with parts of
# moderate size (1/16 to 8 in magnitude), read back exactly through the text.
# The complex functions compose real functions with two products (and a
# division for tan and tanh), so they allow a few units more than the reals.

MPFUNC = {n: getattr(mpmath, n) for n in COMPLEX_TO_COMPLEX}
BOUND = {"sin": 12, "cos": 12, "sinh": 12, "cosh": 12, "tan": 24, "tanh": 24}


def mp_of(x):
    hi, lo = parts(x)
    return mpmath.mpf(hi) + mpmath.mpf(lo)


def err_units(got, ref):
    return float(abs(got - ref) / abs(ref) * mpmath.mpf(2) ** 104)


@pytest.mark.parametrize("name", COMPLEX_TO_COMPLEX)
def test_complex_function_accuracy(name):
    rng = random.Random(name)
    worst = 0.0
    with mpmath.workprec(256):
        for re, im in zip(random_pairs(rng, 150, -4, 2), random_pairs(rng, 150, -4, 2)):
            z = re + im
            w = getattr(ostrell, name)(cplx(*z))
            zz = mpmath.mpc(mpmath.mpf(z[0]) + z[1], mpmath.mpf(z[2]) + z[3])
            e = err_units(mpmath.mpc(mp_of(w.real()), mp_of(w.imag())), MPFUNC[name](zz))
            assert e < BOUND[name], f"{name} {hx(*z)}: {e:.1f} units of 2^-104"
            worst = max(worst, e)
    print(f"{name}: max normwise error {worst:.2f} units of 2^-104")


def test_modulus_accuracy():
    with mpmath.workprec(256):
        for z in complex_operands(4)[20:]:
            zz = mpmath.mpc(mpmath.mpf(z[0]) + z[1], mpmath.mpf(z[2]) + z[3])
            c = cplx(*z)
            assert err_units(mp_of(ostrell.abs(c)), abs(zz)) < 4, hx(*z)
            assert err_units(mp_of(ostrell.abs_sqr(c)), abs(zz) ** 2) < 4, hx(*z)


# ---- constants ------------------------------------------------------------------------

def from_bits(u):
    return struct.unpack("<d", struct.pack("<Q", u))[0]


@pytest.mark.parametrize("name, hi, lo, text", [
    ("pi", 0x400921FB54442D18, 0x3CA1A62633145C07, "3.1415926535897932384626433832795"),
    ("e", 0x4005BF0A8B145769, 0x3CA4D57EE2B1013A, "2.7182818284590452353602874713526"),
    ("sqrt2", 0x3FF6A09E667F3BCD, 0xBC9BDD3413B26456, "1.4142135623730950488016887242096"),
    ("ln2", 0x3FE62E42FEFA39EF, 0x3C7ABC9E3B39803F, "0.6931471805599453094172321214581"),
])
def test_constants(name, hi, lo, text):
    c = getattr(ostrell, name)
    assert type(c) is F and str(c) == text
    assert parts(c) == (from_bits(hi), from_bits(lo))


def test_constants_are_separate_objects():
    objs = [ostrell.pi, ostrell.e, ostrell.sqrt2, ostrell.ln2]
    assert len({id(o) for o in objs}) == 4


def test_inplace_change_of_the_shared_pi():
    saved = F() + ostrell.pi                # an exact copy
    p = ostrell.pi
    try:
        p += saved                          # doubling is exact
        assert ostrell.pi is p
        assert str(ostrell.pi) == "6.2831853071795864769252867665590"
    finally:
        p -= saved
    assert ostrell.pi == saved and str(ostrell.pi) == "3.1415926535897932384626433832795"
