"""The Complex128 type: constructors, text, operators and what it lacks."""
import math
import random

import pytest

from ostrell import Complex128 as C, Float128 as F
from ddvalues import cplx, hx, same

ZERO = "0.0000000000000000000000000000000"
ONE = "1.0000000000000000000000000000000"
TWO = "2.0000000000000000000000000000000"


def text(re, im):
    return f"{re} {'-' if im.startswith('-') else '+'} {im.lstrip('-')}i"


# ---- construction and text ----------------------------------------------------

@pytest.mark.parametrize("make, want", [
    (lambda: C(), text(ZERO, ZERO)),
    (lambda: C(1.0), text(ONE, ZERO)),
    (lambda: C(1), text(ONE, ZERO)),
    (lambda: C(True), text(ONE, ZERO)),
    (lambda: C(1.0, -2.0), text(ONE, "-" + TWO)),
    (lambda: C(1, 2), text(ONE, TWO)),
    (lambda: C(real=1.0, imag=-2.0), text(ONE, "-" + TWO)),
    (lambda: C(imag=-2.0, real=1.0), text(ONE, "-" + TWO)),
    (lambda: C(1.0, imag=2.0), text(ONE, TWO)),
    (lambda: C(F(1.0), F(-2.0)), text(ONE, "-" + TWO)),
    (lambda: C(F(1.0)), text(ONE, ZERO)),
    (lambda: C(real=F(1.0), imag=F(2.0)), text(ONE, TWO)),
    (lambda: C(0.0, -0.0), text(ZERO, ZERO)),           # a negative zero takes " + "
    (lambda: C(-0.0, 0.0), text("-" + ZERO, ZERO)),
    (lambda: C(1 - 2j), text(ONE, "-" + TWO)),           # a Python complex
    (lambda: C(complex(1, -0.0)), text(ONE, ZERO)),
    (lambda: C(F("0.1"), F("nan")), text("0.1000000000000000000000000000000", "nan")),
    (lambda: C(0.0, -math.inf), text(ZERO, "-inf")),
])
def test_text(make, want):
    z = make()
    assert str(z) == repr(z) == z.to_string() == want


def test_float128_parts_are_taken_unchanged():
    re, im = F("0.1"), -F("0.3")
    z = C(re, im)
    assert z.real() == re and z.imag() == im
    assert type(z.real()) is F and type(z.imag()) is F
    assert callable(z.real) and z.real.__self__ is z     # a method, not a property


@pytest.mark.parametrize("args, kwargs", [
    (("1",), {}), ((None,), {}), ((F(1.0), 2.0), {}), ((1.0, F(2.0)), {}), ((C(),), {}),
    (([1.0],), {}), ((1.0, 2.0, 3.0), {}), ((), {"imag": 2.0}), ((), {"re": 1.0}),
    ((1 + 1j, 2.0), {}), ((10 ** 400,), {}),
])
def test_constructor_rejects(args, kwargs):
    with pytest.raises(TypeError):
        C(*args, **kwargs)


# ---- operators ------------------------------------------------------------------

OPS = {"add": ("__add__", "__iadd__"), "sub": ("__sub__", "__isub__"),
       "mul": ("__mul__", "__imul__"), "div": ("__truediv__", "__itruediv__")}


def random_parts(rng):
    hi = rng.choice([-1, 1]) * rng.uniform(1, 2) * 2.0 ** rng.randint(-20, 20)
    return hi, hi * rng.uniform(-1, 1) * 2.0 ** -54


@pytest.mark.parametrize("op", OPS)
def test_operators_match_the_value_layer(value_layer, op):
    rng = random.Random(op)
    special = [(0.0, 0.0, 0.0, 0.0), (1.0, 0.0, 0.0, 0.0), (math.inf, 0.0, 1.0, 0.0), (math.nan, 0.0, 0.0, 0.0)]
    operands = special + [random_parts(rng) + random_parts(rng) for _ in range(100)]
    for a, b in zip(operands, operands[::-1]):
        want = value_layer("c." + op, a, b)
        for name in OPS[op]:
            z = cplx(*a)
            got = getattr(z, name)(cplx(*b))
            assert same(got.real(), *want[:2]) and same(got.imag(), *want[2:]), \
                f"{name} {hx(*a)} {hx(*b)}: got {got}, want {hx(*want)}"
            assert (got is z) == name.startswith("__i")


@pytest.mark.parametrize("other, as_complex", [(1.0, C(1.0)), (2, C(2.0)), (1 - 2j, C(1.0, -2.0))])
def test_python_numbers_on_the_right_convert(other, as_complex):
    z = C(F("0.1"), F("0.7"))
    for name in ("__add__", "__sub__", "__mul__", "__truediv__"):
        got, want = getattr(z, name)(other), getattr(z, name)(as_complex)
        assert type(got) is C and str(got) == str(want)
    alias = z
    z += other
    assert z is alias and type(z) is C


@pytest.mark.parametrize("other", [1.0, 2, 1 - 2j, F(1.0), "1", None])
def test_no_reflected_or_mixed_float128_operators(other):
    z = C(1.0, 2.0)
    for expr in (lambda: other + z, lambda: other - z, lambda: other * z, lambda: other / z):
        with pytest.raises(TypeError):
            expr()
    if isinstance(other, (F, str, type(None))):       # nothing converts these
        with pytest.raises(TypeError):
            z + other


def test_identity_equality_and_no_number_protocol():
    a, b = C(1.0, 2.0), C(1.0, 2.0)
    assert a != b and not (a == b) and a == a
    assert hash(a) != hash(b) and len({a, b}) == 2
    for expr in (lambda: -a, lambda: +a, lambda: abs(a), lambda: a ** 2, lambda: complex(a),
                 lambda: float(a), lambda: a < b):
        with pytest.raises(TypeError):
            expr()
    assert not hasattr(a, "__dict__")


class _IntWithOwnConversions(int):
    """An int whose float and complex conversions disagree, to see which
    constructor a call reaches."""

    def __float__(self):
        return 3.0

    def __complex__(self):
        return 7j


def test_int_selects_the_float_constructor_and_complex_the_last_one():
    assert str(C(_IntWithOwnConversions(2))) == text("3.0000000000000000000000000000000", ZERO)
    assert str(C(1 + 7j)) == text(ONE, "7.0000000000000000000000000000000")
