"""Every ufunc loop of the dtype gives, row for row, the bits of the scalar
ostrell function, in every layout NumPy passes."""
import math
import threading

import numpy as np
import pytest

import ostrell
from ostrell import Float128
import ostrell_numpy as on

from dtype_support import DT, assert_rows_equal, as_rows, layouts, mixed_rows

N = 600  # more than two blocks of the strided path


def _isnan(x):
    return ostrell.isnan(x)


def _hi(x):
    return float(on.to_rows([x])[0, 0])


def _sign(x):
    h = _hi(x)
    return x if math.isnan(h) else Float128(1.0 if h > 0 else -1.0 if h < 0 else 0.0)


def _max(a, b, nan_wins):
    if _isnan(a) or _isnan(b):
        return (a if _isnan(a) else b) if nan_wins else (b if _isnan(a) else a)
    return b if a < b else a


def _min(a, b, nan_wins):
    if _isnan(a) or _isnan(b):
        return (a if _isnan(a) else b) if nan_wins else (b if _isnan(a) else a)
    return b if a > b else a


UNARY = {
    np.negative: lambda x: -x, np.positive: lambda x: x, np.conjugate: lambda x: x,
    np.absolute: ostrell.abs, np.sign: _sign, np.square: lambda x: x * x,
    np.reciprocal: lambda x: Float128(1.0) / x, np.sqrt: ostrell.sqrt, np.exp: ostrell.exp,
    np.log: ostrell.log, np.sin: ostrell.sin, np.cos: ostrell.cos, np.tan: ostrell.tan,
    np.arcsin: ostrell.asin, np.arccos: ostrell.acos, np.arctan: ostrell.atan,
    np.sinh: ostrell.sinh, np.cosh: ostrell.cosh, np.tanh: ostrell.tanh,
    np.floor: ostrell.floor, np.ceil: ostrell.ceil, np.trunc: ostrell.trunc,
}
BINARY = {
    np.add: lambda a, b: a + b, np.subtract: lambda a, b: a - b, np.multiply: lambda a, b: a * b,
    np.divide: lambda a, b: a / b, np.power: ostrell.pow, np.arctan2: ostrell.atan2, np.fmod: ostrell.fmod,
    np.maximum: lambda a, b: _max(a, b, True), np.minimum: lambda a, b: _min(a, b, True),
    np.fmax: lambda a, b: _max(a, b, False), np.fmin: lambda a, b: _min(a, b, False),
}
COMPARE = {
    np.equal: lambda a, b: a == b, np.not_equal: lambda a, b: not a == b, np.less: lambda a, b: a < b,
    np.less_equal: lambda a, b: a <= b, np.greater: lambda a, b: a > b, np.greater_equal: lambda a, b: a >= b,
}
PREDICATE = {
    np.isnan: ostrell.isnan, np.isinf: ostrell.isinf,
    np.isfinite: lambda x: not (ostrell.isnan(x) or ostrell.isinf(x)),
    np.signbit: lambda x: math.copysign(1.0, _hi(x)) < 0,
}

A = mixed_rows(N, seed=1)
B = np.roll(mixed_rows(N, seed=2), 7, axis=0)
A_VALUES, B_VALUES = on.from_rows(A), on.from_rows(B)


@pytest.mark.parametrize("ufunc", list(UNARY), ids=lambda u: u.__name__)
def test_unary_bits_in_every_layout(ufunc):
    want = on.to_rows([UNARY[ufunc](x) for x in A_VALUES])
    for name, a in layouts(A):
        assert_rows_equal(as_rows(ufunc(a)), want, A)
        out = np.empty_like(a)  # a strided output too
        ufunc(a, out=out[::-1])
        assert_rows_equal(as_rows(out[::-1]), want, A)
    inplace = on.as_float128(A.copy())
    ufunc(inplace, out=inplace)
    assert_rows_equal(as_rows(inplace), want, A)


@pytest.mark.parametrize("ufunc", list(BINARY), ids=lambda u: u.__name__)
def test_binary_bits_in_every_layout(ufunc):
    f = BINARY[ufunc]
    want = on.to_rows([f(x, y) for x, y in zip(A_VALUES, B_VALUES)])
    for (na, a), (nb, b) in zip(layouts(A), list(layouts(B))[::-1]):
        assert_rows_equal(as_rows(ufunc(a, b)), want, A, B)
    inplace = on.as_float128(A.copy())
    ufunc(inplace, on.as_float128(B.copy()), out=inplace)
    assert_rows_equal(as_rows(inplace), want, A, B)
    # Broadcast operands (stride 0) on either side.
    y = B_VALUES[13]
    want_b = on.to_rows([f(x, y) for x in A_VALUES])
    assert_rows_equal(as_rows(ufunc(on.as_float128(A.copy()), y)), want_b, A)
    assert_rows_equal(as_rows(ufunc(on.as_float128(A.copy())[::2], np.array([y], DT))), want_b[::2], A[::2])
    want_l = on.to_rows([f(y, x) for x in A_VALUES])
    assert_rows_equal(as_rows(ufunc(y, on.as_float128(A.copy()))), want_l, A)


@pytest.mark.parametrize("ufunc", [np.add, np.multiply, np.subtract, np.maximum, np.fmin], ids=lambda u: u.__name__)
def test_accumulate_is_the_sequential_fold(ufunc):
    f = BINARY[ufunc]
    x = A_VALUES[20:120]  # finite values
    acc, want = x[0], [x[0]]
    for v in x[1:]:
        acc = f(acc, v)
        want.append(acc)
    for name, a in layouts(A[20:120]):
        assert_rows_equal(as_rows(ufunc.accumulate(a)), on.to_rows(want), A[20:120])
    if ufunc is not np.add:
        assert_rows_equal(as_rows(np.array([ufunc.reduce(on.as_float128(A[20:120].copy()))])),
                          on.to_rows([acc]))


def test_comparisons_and_predicates():
    a, b = on.as_float128(A.copy()), on.as_float128(B.copy())
    # Pairs with a NaN low part only, against every operand.
    lo_nan = np.array([[1.0, np.nan], [np.nan, np.nan], [-2.0, np.nan]])
    ca, cb = np.concatenate([A, lo_nan, B[:3]]), np.concatenate([B, B[:3], lo_nan])
    ca_values, cb_values = on.from_rows(ca), on.from_rows(cb)
    for ufunc, f in COMPARE.items():
        want = np.array([f(x, y) for x, y in zip(ca_values, cb_values)])
        np.testing.assert_array_equal(ufunc(on.as_float128(ca), on.as_float128(cb)), want, err_msg=ufunc.__name__)
        want = np.array([f(x, y) for x, y in zip(A_VALUES, B_VALUES)])
        for (_, la), (_, lb) in zip(layouts(A), layouts(B)):
            np.testing.assert_array_equal(ufunc(la, lb), want, err_msg=ufunc.__name__)
        np.testing.assert_array_equal(ufunc(a, a), [f(x, x) for x in A_VALUES], err_msg=ufunc.__name__)
    for ufunc, f in PREDICATE.items():
        want = np.array([f(x) for x in A_VALUES])
        for _, la in layouts(A):
            np.testing.assert_array_equal(ufunc(la), want, err_msg=ufunc.__name__)
    # == and != have their own loops: not identity, not all-False.
    assert (a == a.copy()).sum() == N - np.isnan(A[:, 0]).sum()
    assert not (a != a.copy())[~np.isnan(A[:, 0])].any()


def test_mixed_operands_convert_exactly_first():
    a = on.as_float128(A[20:60].copy())
    vals = A_VALUES[20:60]
    big = 2**62 + 1  # not a binary64: the exact pair
    cases = [
        (a + 1.5, [x + Float128(1.5) for x in vals]),
        (2 * a, [Float128(2.0) * x for x in vals]),
        (a - big, [x - (Float128(2.0**62) + Float128(1.0)) for x in vals]),
        (np.arange(40.0) + a, [Float128(float(i)) + x for i, x in zip(range(40), vals)]),
        (a / np.arange(1, 41, dtype=np.int64), [x / Float128(float(i)) for i, x in zip(range(1, 41), vals)]),
        (np.float32(0.1) * a, [Float128(float(np.float32(0.1))) * x for x in vals]),
        (np.uint64(2**64 - 1) + a, [Float128(2.0**64) - Float128(1.0) + x for x in vals]),
    ]
    for got, want in cases:
        assert got.dtype == DT
        assert_rows_equal(as_rows(got), on.to_rows(want), A[20:60])
    assert (a < 0.0).dtype == np.bool_
    # == and != against operands without a conversion answer as for float64.
    assert not (a == None).any() and (a != "x").all()  # noqa: E711
    with pytest.raises(TypeError):
        a < None


def test_functions_without_a_loop_raise_instead_of_computing_in_float64():
    a = on.as_float128(A[20:24].copy())
    for call in (lambda: np.log1p(a), lambda: np.expm1(a), lambda: np.linalg.solve(a.reshape(2, 2), a[:2]),
                 lambda: np.linalg.inv(a.reshape(2, 2)), lambda: a + 1j, lambda: a + np.longdouble(1)):
        with pytest.raises(TypeError):
            call()
    with pytest.raises(TypeError):
        a.astype(np.float64, casting="same_kind")


def test_no_floating_point_warnings(recwarn):
    with np.errstate(all="raise"):
        a = on.as_float128(A.copy())
        np.divide(a, on.as_float128(np.zeros_like(A)))
        np.exp(a * 1e6)
        np.sqrt(-a)
    assert not recwarn.list


def test_threads_call_loops_concurrently():
    a, b = on.as_float128(A.copy()), on.as_float128(B.copy())
    want = as_rows(np.exp(a) * b + a)
    results = [None] * 4

    def work(k):
        for _ in range(20):
            results[k] = as_rows(np.exp(a) * b + a)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results:
        assert_rows_equal(r, want, A, B)
