"""An instance whose __init__ never ran (T.__new__(T), a subclass's __new__)
reads as zero on every path, and making values that way leaks nothing."""
import operator

import pytest

import ostrell
from ostrell import Complex128 as C, Float128 as F
from ddvalues import parts
from test_robustness import assert_flat


class SubF(F):
    pass


class SubC(C):
    pass


def zero_bits(x):
    """x is Float128() (+0 in both parts; the text shows a sign and any digit)."""
    return str(x) == str(F()) and parts(x) == (0.0, 0.0)


@pytest.mark.parametrize("cls", [F, SubF])
def test_unconstructed_float128_reads_as_zero(cls):
    one = F(1.0)
    for x in (cls.__new__(cls), cls.__new__(cls)):
        assert zero_bits(x), [p.hex() for p in parts(x)]
        assert str(x) == str(F()) and repr(x) == repr(F())
        assert str(ostrell.exp(x)) == str(F(1.0)) and ostrell.isnan(x) is False
    x, y = cls.__new__(cls), cls.__new__(cls)
    # Number and comparison slots, then the in-place forms on the instance.
    for op in (operator.add, operator.sub, operator.mul):
        assert zero_bits(op(x, y)) and str(op(one, x)) == str(op(one, F()))
    assert x == y and not x < y and str(-x) == str(-F())
    x += one
    assert str(x) == str(one)


@pytest.mark.parametrize("cls", [C, SubC])
def test_unconstructed_complex128_reads_as_zero(cls):
    z = cls.__new__(cls)
    assert zero_bits(z.real()) and zero_bits(z.imag())
    assert str(z) == str(C()) and str(z + C(1.0, 2.0)) == str(C(1.0, 2.0))
    assert zero_bits(ostrell.abs(z)) and str(ostrell.cos(z)) == str(C(1.0, 0.0))


def test_init_after_new_still_constructs():
    x = F.__new__(F)
    ostrell.exp(x)                          # read before __init__
    x.__init__(2.5)
    assert str(x) == str(F(2.5))
    s = SubF.__new__(SubF)
    s.__init__("0.1")
    assert str(s) == str(F("0.1")) and str(SubF(3.0)) == str(F(3.0))
    z = C.__new__(C)
    z.__init__(1.0, -2.0)
    assert str(z) == str(C(1.0, -2.0))


def test_companion_conversions_read_zero():
    on = pytest.importorskip("ostrell_numpy")
    assert on.to_rows([F.__new__(F), SubF.__new__(SubF)]).tolist() == [[0.0, 0.0]] * 2
    assert on.to_complex_rows([C.__new__(C)]).tolist() == [[0.0, 0.0, 0.0, 0.0]]


def construction(n):
    """n values made each way: constructor, __new__ alone, __new__ then
    __init__, on both classes and a subclass, and a failing constructor."""
    kept = []
    for i in range(n // 8):
        F(1.0), C(1.0, 2.0), SubF(3.0)
        x = F.__new__(F)
        x.__init__(2.0)
        y = SubC.__new__(SubC)
        y + y
        y.__init__(1.0)
        kept.append(F.__new__(F))
        if len(kept) > 8:
            kept.pop(0)
        try:
            F("x", 3)
        except TypeError:
            pass


def test_construction_memory_stays_flat():
    assert_flat(construction, 10 ** 5)
