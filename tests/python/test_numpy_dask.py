"""Chunked use through Dask gives the bits of one call: the element-wise
functions treat every row alone, so any split into (k, 2) blocks is the
same."""
import numpy as np
import pytest

import ostrell_numpy as onp

da = pytest.importorskip("dask.array")


def rows(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.uniform(-700.0, 700.0, n)
    lo = hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)
    s = hi + lo
    return np.stack([s, lo - (s - hi)], axis=1)


@pytest.mark.parametrize("k", [7, 1000, 4096])
def test_chunked_exp_is_one_call(k):
    x = rows(10_007, k)
    chunked = da.from_array(x, chunks=(k, 2)).map_blocks(onp.exp, dtype=np.float64)
    got = chunked.compute(scheduler="threads")
    want = onp.exp(x)
    assert got.shape == want.shape
    assert np.array_equal(got.view(np.uint64), want.view(np.uint64))


def test_chunked_binary_function_is_one_call():
    a, b = rows(5_000, 1), rows(5_000, 2)
    got = da.map_blocks(onp.atan2, da.from_array(a, chunks=(333, 2)), da.from_array(b, chunks=(333, 2)),
                        dtype=np.float64).compute(scheduler="threads")
    assert np.array_equal(got.view(np.uint64), onp.atan2(a, b).view(np.uint64))
