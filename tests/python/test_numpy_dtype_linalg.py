"""The dtype's np.matmul / a @ b and np.vecdot loops and ostrell_numpy.linalg on
Float128DType arrays: the same bits as ostrell_numpy.linalg.matmul on rows
(the left fold of add(acc, mul(a_ik, b_kj)) from +0) in every layout, a NaN
as a NaN."""
import warnings

import numpy as np
import pytest

import ostrell_numpy as onp

from dtype_support import assert_rows_equal
from test_numpy_linalg import random_rows

la = onp.linalg


def same(dtype_array, rows):
    """The same bits; a NaN part only as a NaN (its sign and payload may
    follow the path and the operands' layout)."""
    got = onp.as_rows(np.ascontiguousarray(dtype_array)).reshape(-1, 2)
    want = np.ascontiguousarray(rows).reshape(-1, 2)
    assert_rows_equal(got, want)


def test_matmul_loop_every_layout():
    a, b = random_rows((3, 6, 5), 1), random_rows((5, 4), 2)
    b[2, 1] = (np.nan, 0.0)
    want = la.matmul(a, b)
    fa, fb = onp.as_float128(a), onp.as_float128(b)
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # NaN is a value: no floating-point warning
        same(fa @ fb, want)
    same(np.matmul(fa, fb), want)
    # Transposed and strided operands, a broadcast stack, vectors.
    ft = onp.as_float128(np.ascontiguousarray(b.transpose(1, 0, 2))).T
    same(fa @ ft, want)
    wide = np.zeros((3, 6, 10, 2))
    wide[:, :, ::2] = a
    same(onp.as_float128(wide)[:, :, ::2] @ fb, want)
    v = random_rows((5,), 3)
    same(fa @ onp.as_float128(v), la.matmul(a, v))
    same(np.vecdot(onp.as_float128(v), onp.as_float128(v)), la.matmul(v, v))
    out = np.empty((3, 6, 4), dtype=fa.dtype)
    np.matmul(fa, fb, out=out)
    same(out, want)


def test_linalg_takes_and_gives_dtype_arrays():
    a = random_rows((4, 4), 4) + 4 * np.eye(4)[..., None] * [1, 0]
    b = random_rows((4,), 5)
    x = la.solve(onp.as_float128(a), onp.as_float128(b))
    assert x.dtype == onp.float128_dtype
    same(x, la.solve(a, b))
    same(la.det(onp.as_float128(a)), la.det(a))
    q, r = la.qr(onp.as_float128(a))
    same(q, la.qr(a)[0])
    with pytest.raises(TypeError):
        la.solve(onp.as_float128(a), b)
