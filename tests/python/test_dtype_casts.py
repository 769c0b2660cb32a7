"""Casts of the dtype: exact into it, nearest or truncated out of it, with
the safety levels that keep NumPy from computing in float64 silently."""
from fractions import Fraction

import numpy as np
import pytest

from ostrell import Float128
import ostrell_numpy as on

from dtype_support import DT, assert_rows_equal, as_rows, rows_of


def exact(rows):
    return [Fraction(float(h)) + Fraction(float(l)) for h, l in rows]


def test_safety_levels():
    for t in (np.bool_, np.int8, np.uint8, np.int16, np.uint16, np.int32, np.uint32, np.int64, np.uint64,
              np.float16, np.float32, np.float64):
        assert np.can_cast(t, DT, "safe"), t
        assert not np.can_cast(DT, t, "same_kind"), t
        assert np.can_cast(DT, t, "unsafe"), t
    assert not np.can_cast(np.longdouble, DT, "same_kind")
    assert np.can_cast(DT, DT, "no")
    assert np.result_type(DT, np.float64) == DT and np.result_type(np.int64, DT) == DT


def test_integers_exact_both_ways_at_their_edges():
    for t in (np.int8, np.uint8, np.int32, np.uint32, np.int64, np.uint64):
        info = np.iinfo(t)
        values = np.array([info.min, info.min + 1, 0, 1, info.max - 1, info.max], dtype=t)
        a = values.astype(DT)
        assert exact(as_rows(a)) == [Fraction(int(v)) for v in values], t
        np.testing.assert_array_equal(a.astype(t), values)
    big = np.array([2**53 + 1, -(2**63), 2**63 - 1], dtype=np.int64)
    assert exact(as_rows(big.astype(DT))) == [Fraction(int(v)) for v in big]
    # Python ints: exact in the pair's span.
    assert exact(as_rows(np.array([2**53 + 1, -(2**100 + 1)], dtype=DT))) == [2**53 + 1, -(2**100 + 1)]


def test_to_integers_truncates_the_exact_value_and_refuses_nan_and_overflow():
    a = on.as_float128(rows_of([(2.0**53, 1.0), (2.0**53, -1.0), (-2.5, 0.0), (1.0, -2.0**-60)]))
    np.testing.assert_array_equal(a.astype(np.int64), [2**53 + 1, 2**53 - 1, -2, 0])
    for bad in [(float("nan"), 0.0), (float("inf"), 0.0), (2.0**63, 0.0)]:
        with pytest.raises(ValueError):
            on.as_float128(rows_of([bad])).astype(np.int64)
    np.testing.assert_array_equal(on.as_float128(rows_of([(2.0**63, -1.0)])).astype(np.int64), [2**63 - 1])


def test_floats_exact_in_and_nearest_out():
    f = np.array([0.0, -0.0, 5e-324, 1.5, -1e308, np.inf, -np.inf], dtype=np.float64)
    a = f.astype(DT)
    assert_rows_equal(as_rows(a), np.stack([f, np.zeros_like(f)], axis=1))
    assert np.signbit(as_rows(a)[1, 0])
    assert np.isnan(as_rows(np.array([np.nan]).astype(DT))[0, 0])
    # Nearest binary64 of hi + lo; one rounding for float32 and float16 (no
    # double rounding through binary64 at a tie).
    half_ulp32 = 2.0**-24  # 1 + 2^-24 is a tie between two float32 values
    rows = rows_of([(1.0 + half_ulp32, 2.0**-80), (1.0 + half_ulp32, -(2.0**-80)), (1.0 + half_ulp32, 0.0),
                    (1.0, 2.0**-53), (-0.0, 0.0)])
    a = on.as_float128(rows)
    np.testing.assert_array_equal(a.astype(np.float32).view(np.uint32),
                                  np.array([1 + 2.0**-23, 1.0, 1.0, 1.0, -0.0], np.float32).view(np.uint32))
    np.testing.assert_array_equal(a.astype(np.float64), [1 + half_ulp32, 1 + half_ulp32, 1 + half_ulp32, 1.0, -0.0])
    h = on.as_float128(rows_of([(1.0 + 2.0**-11, 2.0**-70), (1.0 + 2.0**-11, -(2.0**-70))]))
    np.testing.assert_array_equal(h.astype(np.float16), np.array([1 + 2.0**-10, 1.0], np.float16))
    assert np.isnan(on.as_float128(rows_of([(np.nan, 0.0)])).astype(np.float32)[0])
    np.testing.assert_array_equal(np.array([1.0, 0.0, np.nan], DT).astype(bool), [True, False, True])


def test_text_and_objects():
    a = np.array(["0.1", " -2.5e-3 ", "inf", "nan"]).astype(DT)
    assert as_rows(a)[0].tolist() == on.to_rows([Float128("0.1")])[0].tolist()
    assert np.array([b"1.25"]).astype(DT)[0] == Float128(1.25)
    for bad in (["abc"], ["1.5x"], [""], ["1e"], ["--1"]):
        with pytest.raises(ValueError):
            np.array(bad).astype(DT)
    with pytest.raises(ValueError):
        np.array(["1", "oops"], dtype=DT)
    back = np.array([Float128("0.1"), Float128(-3.0)], DT).astype(str)
    assert [Float128(s) for s in back] == [Float128("0.1"), Float128(-3.0)]
    obj = np.array([Float128(2.0), 1.5, 3], dtype=object).astype(DT)
    assert obj.dtype == DT and list(obj) == [Float128(2.0), Float128(1.5), Float128(3.0)]
    assert list(obj.astype(object)) == list(obj)


def test_void_and_other_unconvertible_data_raise_type_error():
    with pytest.raises(TypeError):
        np.zeros(3, "V16").astype(DT)
    with pytest.raises(TypeError):
        np.zeros(3, DT).astype("V16")
    with pytest.raises(TypeError):
        np.array([object()], dtype=DT)
    with pytest.raises(TypeError):
        np.array([1j], dtype=DT)
