"""add_arrays ... div_arrays over a chunked Dask array give the bits of one
call: chunks of any length and start (so the vector blocks, the peeled head,
the streamed stores and the scalar tail fall on other rows), special rows
mixed in, and strided views.  A NaN part only has to be a NaN in both (its
sign and payload may follow the operand order inside the kernels); every
other part is compared bit for bit."""
import numpy as np
import pytest

import ostrell

da = pytest.importorskip("dask.array")

FUNCS = [ostrell.add_arrays, ostrell.sub_arrays, ostrell.mul_arrays, ostrell.div_arrays]
SPECIALS = [0.0, -0.0, np.inf, -np.inf, np.nan, 1.7976931348623157e308, 5e-324, 1e300]


def rows(n, seed):
    """Normalised rows over many binades, one in 50 with special parts."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) * np.exp2(rng.integers(-80, 80, n))
    x = np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)
    special = rng.integers(0, 50, n) == 0
    x[special] = rng.choice(SPECIALS, size=(int(special.sum()), 2))
    return x


def assert_same(got, want, a, b):
    assert got.shape == want.shape
    g, w = got.view(np.uint64), want.view(np.uint64)
    bad = (g != w) & ~(np.isnan(got) & np.isnan(want))
    if bad.any():
        i = int(np.argwhere(bad)[0][0])
        pair = lambda r: "(0x%016X, 0x%016X)" % tuple(int(v) for v in r.view(np.uint64))
        raise AssertionError(f"row {i}: a {pair(a[i])} b {pair(b[i])} "
                             f"got {pair(got[i])} want {pair(want[i])}")


def chunked(f, a, b, k):
    blocks = [da.from_array(x, chunks=(k, 2)) for x in (a, b)]
    return da.map_blocks(f, *blocks, dtype=np.float64).compute(scheduler="threads")


# Chunks of 7 rows: blocks starting at every phase of a 64-byte line, below the
# peeling threshold; 1000: above it; 70_000: above the streaming threshold
# (one call streams too), with a short last chunk.
@pytest.mark.parametrize("n, k", [(3_001, 7), (20_003, 1000), (150_001, 70_000)])
@pytest.mark.parametrize("f", FUNCS, ids=lambda f: f.__name__)
def test_chunked_equals_one_call(f, n, k):
    a, b = rows(n, 1), rows(n, 2)
    assert_same(chunked(f, a, b, k), f(a, b), a, b)


@pytest.mark.parametrize("f", FUNCS, ids=lambda f: f.__name__)
def test_chunked_strided_views(f):
    a, b = rows(20_000, 3), rows(40_000, 4)[::2]   # b is a strided view: the row loop
    assert_same(chunked(f, a, b, 333), f(a, b), a, b)


# The NumPy dtype: NumPy's ufuncs on a chunked Dask array of Float128DType
# give the bits of one call; a sum over chunks is the sum of the chunk sums.
def test_dtype_chunked_ufuncs_and_sum():
    on = pytest.importorskip("ostrell_numpy")
    a, b = rows(20_003, 5), rows(20_003, 6)
    x, y = on.as_float128(a), on.as_float128(b)
    dx, dy = da.from_array(x, chunks=997), da.from_array(y, chunks=997)
    got = (np.sqrt(dx * dx + dy) - dx / dy).compute(scheduler="threads")
    assert_same(on.as_rows(got), on.as_rows(np.sqrt(x * x + y) - x / y), a, b)
    finite = np.isfinite(a).all(axis=1)
    xf = x[finite]
    dxf = da.from_array(xf, chunks=1000)

    def chunk_sum(v, axis=None, keepdims=False):
        return np.asarray(np.sum(v, axis=axis, keepdims=keepdims), dtype=on.float128_dtype)

    total = da.reduction(dxf, chunk_sum, chunk_sum, split_every=dxf.numblocks[0] + 1,
                         dtype=on.float128_dtype).compute(scheduler="threads")[()]
    parts = np.array([np.sum(xf[s:s + 1000]) for s in range(0, len(xf), 1000)], dtype=on.float128_dtype)
    assert on.to_rows([total]).tolist() == on.to_rows([np.sum(parts)]).tolist()
