"""Reductions and ordering of the dtype: np.sum of 1-D arrays has
ostrell_numpy.sum's bits, other reductions are sequential folds, sums are
checked against exact rational sums, sorting against a (hi, lo) lexsort."""
import bisect
from fractions import Fraction

import numpy as np
import pytest

from ostrell import Float128
import ostrell_numpy as on

from dtype_support import DT, assert_rows_equal, as_rows, layouts, mixed_rows


# NumPy 2.3 and later hand a 1-D reduction to one loop call (2.0 passes
# blocks of 8192 elements); 2.4 takes the DType's sort functions.
ONE_CALL = np.lib.NumpyVersion(np.__version__) >= "2.3.0"
NUMPY_2_4 = np.lib.NumpyVersion(np.__version__) >= "2.4.0"
needs_2_4 = pytest.mark.skipif(not NUMPY_2_4, reason="sorting of a new DType needs NumPy 2.4")


def companion_sum(rows):
    """ostrell_numpy.sum of the blocks NumPy reduces at once, added in order."""
    step = len(rows) if ONE_CALL else 8192
    acc = None
    for s in range(0, len(rows), max(step, 1)):
        part = on.from_rows(on.sum(rows[s : s + step])[None, :])[0]
        acc = part if acc is None else acc + part
    return on.to_rows([acc])[0]


def exact_sum(rows):
    return sum(Fraction(float(h)) + Fraction(float(l)) for h, l in rows)


def value(x):
    h, l = on.to_rows([x])[0]
    return Fraction(float(h)) + Fraction(float(l))


@pytest.mark.parametrize("n", [1, 7, 1000, 100_003])
def test_sum_of_1d_has_the_companion_bits_in_every_layout(n):
    rows = mixed_rows(n + 30, seed=n)[30:]  # finite values
    want = companion_sum(rows)
    for name, a in layouts(rows):
        for got in (np.sum(a), np.add.reduce(a), a.sum()):
            assert_rows_equal(on.to_rows([got]), want[None, :], want[None, :])
    # Accurate: within a few units of 2^-104 of the sum of magnitudes.
    err = abs(value(np.sum(on.as_float128(rows))) - exact_sum(rows))
    assert err <= 2.0**-100 * exact_sum(np.abs(rows))


def test_identities_and_empty_reductions():
    empty = np.zeros(0, DT)
    assert on.to_rows([np.sum(empty)]).tolist() == [[0.0, 0.0]]
    assert not np.signbit(on.to_rows([np.sum(empty)])[0, 0])
    assert np.prod(empty) == Float128(1.0)
    with pytest.raises(ValueError):
        np.max(empty)


def test_other_axes_sum_sequentially_in_index_order():
    rows = mixed_rows(90, seed=5)[30:]  # 60 finite values
    a = on.as_float128(rows.copy()).reshape(6, 10)
    vals = [[on.from_rows(rows[10 * i : 10 * i + 10])[j] for j in range(10)] for i in range(6)]
    col = np.sum(a, axis=0)
    for j in range(10):
        acc = Float128(0.0)
        for i in range(6):
            acc = acc + vals[i][j]
        assert_rows_equal(on.to_rows([col[j]]), on.to_rows([acc]))
    last = np.sum(a, axis=1)
    for i in range(6):
        assert_rows_equal(on.to_rows([last[i]]), on.sum(rows[10 * i : 10 * i + 10])[None, :])
    assert isinstance(np.sum(a), Float128)  # axis=None over 2-D works


def test_prod_max_min_cumulative_mean_var():
    rows = mixed_rows(60, seed=9)[30:]
    a = on.as_float128(rows.copy())
    vals = on.from_rows(rows)
    p = Float128(1.0)
    for v in vals:
        p = p * v
    assert_rows_equal(on.to_rows([np.prod(a)]), on.to_rows([p]))
    assert np.max(a) == max(vals) and np.min(a) == min(vals)
    with_nan = a.copy()
    with_nan[4] = float("nan")
    assert np.isnan(np.max(with_nan)) and not np.isnan(np.fmax.reduce(with_nan))
    if NUMPY_2_4:
        assert np.argmax(a) == vals.index(max(vals)) and np.argmin(a) == vals.index(min(vals))
        assert np.argmax(with_nan) == 4
    c = np.cumsum(a)
    acc = Float128(0.0)
    for i, v in enumerate(vals):
        acc = v if i == 0 else acc + v
        assert_rows_equal(on.to_rows([c[i]]), on.to_rows([acc]))
    mean = np.mean(a)
    assert isinstance(mean, Float128)
    assert abs(value(mean) - exact_sum(rows) / 30) <= 2.0**-100 * abs(exact_sum(np.abs(rows)))
    m = exact_sum(rows) / 30
    var = sum((Fraction(float(h)) + Fraction(float(l)) - m) ** 2 for h, l in rows) / 30
    assert abs(value(np.var(a)) - var) <= 2.0**-98 * var
    assert abs(value(np.std(a)) ** 2 - var) <= 2.0**-98 * var


@needs_2_4
def test_sort_argsort_searchsorted_unique_nan_last():
    rows = mixed_rows(5000, seed=3)
    rows[100:200] = rows[0:100]  # duplicates
    rows[300:320, 0] = rows[300, 0]  # equal high parts, different low parts
    a = on.as_float128(rows.copy())
    hi, lo = rows[:, 0], rows[:, 1]
    nan = np.isnan(hi) | np.isnan(lo)
    # NaN last; high part, then low part; a -0 part just before +0.
    order = np.lexsort((~np.signbit(lo), lo, ~np.signbit(hi), hi, nan))
    for kind in ("quicksort", "stable"):
        s = as_rows(np.sort(a, kind=kind))
        assert_rows_equal(s[~np.isnan(s[:, 0])], rows[order][~nan[order]])
        assert np.isnan(s[-nan.sum():, 0]).all()
        np.testing.assert_array_equal(np.argsort(a, kind=kind), order)
    # searchsorted: the first position not below the probe in that order.
    srt = np.sort(a)
    top = np.uint64(1 << 63)
    b = as_rows(srt).view(np.uint64)
    keys = [tuple(k) for k in np.where(b >> np.uint64(63) == 1, ~b, b | top).tolist()]
    pb = rows[:50].view(np.uint64)
    probe_keys = [tuple(k) for k in np.where(pb >> np.uint64(63) == 1, ~pb, pb | top).tolist()]
    pos = np.searchsorted(srt, on.as_float128(rows[:50].copy()))
    for p, k, bad in zip(pos, probe_keys, nan[:50]):
        if not bad:
            assert p == bisect.bisect_left(keys[: (~nan).sum()], k)
    u = np.unique(a[~nan])
    assert len(u) == len({tuple(r) for r in np.where(rows == 0, 0.0, rows)[~nan].tolist()})
    assert (u[1:] > u[:-1]).all()
    with_nan = np.unique(a)  # NaNs last, as one NaN (as for float64)
    assert len(with_nan) == len(u) + 1 and np.isnan(with_nan[-1]) and with_nan[-2] == u[-1]


@needs_2_4
def test_sort_along_a_short_axis_same_order():
    # NumPy sorts each row of a 2-D array by its own call; short ones are
    # sorted by comparison rather than by radix passes, in the same order.
    rows = mixed_rows(6000, seed=5)
    rows[100:200] = rows[0:100]
    rows[300:320, 0] = rows[300, 0]
    rows = rows[np.random.default_rng(5).permutation(len(rows))]
    for width in (2, 9, 300, 2047, 2048, 3000):
        n = len(rows) // width * width
        blocks = rows[:n].reshape(-1, width, 2)
        got = np.sort(on.as_float128(blocks.copy()), axis=-1)
        for b, s in zip(blocks, as_rows(got)):
            hi, lo = b[:, 0], b[:, 1]
            nan = np.isnan(hi) | np.isnan(lo)
            order = np.lexsort((~np.signbit(lo), lo, ~np.signbit(hi), hi, nan))
            k = int((~nan).sum())
            assert_rows_equal(s[:k], b[order][:k])
            assert np.isnan(s[k:]).any(axis=1).all()
        # argsort of sorted rows: ties by index, so the identity.
        np.testing.assert_array_equal(np.argsort(got, axis=-1), np.broadcast_to(np.arange(width), got.shape))


@pytest.mark.skipif(NUMPY_2_4, reason="NumPy 2.4 sorts the dtype")
def test_sorting_before_numpy_2_4_raises_type_error():
    a = np.zeros(3, DT)
    for f in (np.sort, np.argsort, np.argmax, np.unique):
        with pytest.raises(TypeError):
            f(a)
    assert np.count_nonzero(a) == 0  # no crash on nonzero
