"""The dtype's elements, views, discovery, printing and pickling."""
import io
import pickle

import numpy as np
import pytest

from ostrell import Float128
import ostrell_numpy as on

from dtype_support import DT, as_rows, assert_rows_equal, mixed_rows


def test_layout_and_identity():
    assert isinstance(DT, on.Float128DType) and on.Float128DType() is DT
    assert (DT.itemsize, DT.alignment, DT.type) == (16, 8, Float128)
    assert repr(DT) == "Float128DType()"
    assert np.dtype(DT) is DT


def test_elements_keep_their_bits_and_numbers_convert_exactly():
    rows = mixed_rows(40)
    a = on.as_float128(rows.copy())
    assert all(type(x) is Float128 for x in a)
    assert_rows_equal(on.to_rows(list(a)), rows)  # getitem
    b = np.empty(40, DT)
    for i, x in enumerate(a):
        b[i] = x  # setitem
    assert_rows_equal(as_rows(b), rows)
    assert np.array([Float128("0.1"), 0.1, 3]).dtype == DT  # found from the Float128 element
    c = np.array([Float128("0.1"), 0.1, 3, 2**64 + 1, np.float32(0.5), np.int8(-7), True, "1e-5", b"2"], DT)
    want = [Float128("0.1"), Float128(0.1), Float128(3.0), Float128(2.0**64) + Float128(1.0), Float128(0.5),
            Float128(-7.0), Float128(1.0), Float128("1e-5"), Float128(2.0)]
    assert_rows_equal(as_rows(c), on.to_rows(want))


def test_float128_whose_init_never_ran_reads_as_the_module_reads_it():
    raw = Float128.__new__(Float128)
    want = on.to_rows([raw])  # the companion's own conversion: a zero value
    assert_rows_equal(as_rows(np.array([raw], dtype=DT)), want)
    a = np.ones(1, DT)
    a[0] = raw
    assert_rows_equal(as_rows(a), want)


def test_views_share_memory_both_ways():
    rows = mixed_rows(10)
    a = on.as_float128(rows)
    assert a.shape == (10,) and np.shares_memory(a, rows)
    assert np.shares_memory(on.as_rows(a), rows) and on.as_rows(a).shape == (10, 2)
    a[3] = Float128(7.0)
    assert rows[3].tolist() == [7.0, 0.0]
    v = rows.view(DT)  # the NumPy idiom: shape (10, 1)
    assert v.shape == (10, 1) and v[3, 0] == Float128(7.0)
    grid = on.as_float128(np.zeros((4, 5, 2)))
    assert grid.shape == (4, 5) and on.as_rows(grid).shape == (4, 5, 2)
    assert on.as_float128(np.zeros((2, 3))[:, :2]).strides == (24,)  # rows at any step
    for bad in (np.zeros((3, 3)), np.zeros((3, 2), np.float32), np.zeros((2, 4))[:, ::2], [[1.0, 0.0]]):
        with pytest.raises(TypeError):
            on.as_float128(bad)
    with pytest.raises(TypeError):
        on.as_rows(np.zeros(3))


def test_printing_shows_every_digit_and_names_the_dtype():
    a = np.array([Float128("0.1"), Float128(-2.0)], DT)
    text = repr(a)
    assert "dtype=Float128DType()" in text and str(Float128("0.1")) in text and str(Float128("0.1")) in str(a)
    assert "..." in str(np.zeros(5000, DT))


def test_pickle_and_save_load():
    a = on.as_float128(mixed_rows(50).copy())
    for protocol in (2, 3, 4, 5):
        b = pickle.loads(pickle.dumps(a, protocol=protocol))
        assert b.dtype == DT
        assert_rows_equal(as_rows(b), as_rows(a))
        assert pickle.loads(pickle.dumps(DT, protocol=protocol)) is DT
    buf = io.BytesIO()
    with pytest.warns(UserWarning):
        np.save(buf, a)  # a user dtype is stored by pickle
    buf.seek(0)
    assert_rows_equal(as_rows(np.load(buf, allow_pickle=True)), as_rows(a))
