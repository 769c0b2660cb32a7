"""ostrell's array functions over a chunked Dask array.

An (N, 2) float64 array holds one double-double per row (high part, low
part).  Split into (k, 2) chunks, it becomes a Dask array, and
dask.array.map_blocks runs add_arrays ... div_arrays on every chunk, on as
many cores or machines as the scheduler has.  Each row is computed on its own,
so any chunking gives exactly the bits of one call over the whole array; the
example checks that.

The same with the NumPy dtype of ostrell_numpy: each chunk viewed as an (k,)
array of Float128DType (as_float128, no copy), NumPy's own ufuncs on the Dask
array (np.exp(x) * y + x runs chunk by chunk), and a sum over chunks: every
chunk summed by np.sum (ostrell_numpy.sum's order), then the partial sums by
np.sum in chunk order, so the bits do not depend on the scheduler or the
workers.  With worker processes (LocalCluster, a cluster) the dtype's chunks
travel between processes as (k, 2) rows and are viewed as the dtype inside
each task: Dask's distributed protocol rebuilds array dtypes from their type
strings, which a user-defined dtype lacks.

Schedulers:
  --scheduler threads   Dask's threaded scheduler in this process.
  --scheduler local     (default when dask.distributed is installed) a
                        LocalCluster: worker processes on this machine.
  --scheduler tcp://HOST:8786
                        an existing cluster of several machines.  Start it with
                            dask scheduler                         (on HOST)
                            dask worker tcp://HOST:8786 --nthreads 1   (on each machine)
                        Every worker needs ostrell installed (pip install ostrell);
                        the results are the same bits on every worker, whatever
                        instruction set (SSE2, AVX2, AVX-512F) its CPU gives.
                        The operands here are made on the workers, chunk by
                        chunk; data in files is best read there likewise (for
                        instance dask.array.from_zarr), not sent from the client.

One thread per worker: the array functions hold the GIL while they run, so
threads of one process take turns; processes run side by side.

    pip install "ostrell[dask]"      (dask[array] and distributed)
    python examples/dask_arrays.py [--scheduler threads|local|tcp://HOST:8786]
                                   [--rows N] [--chunk K]
"""
import argparse
import time

import numpy as np

import ostrell
import ostrell_numpy

try:
    import dask.array as da
except ImportError:  # pragma: no cover - the example says what to install
    raise SystemExit("this example needs Dask: pip install 'ostrell[dask]'")

try:
    from dask.distributed import Client, LocalCluster
except ImportError:
    Client = LocalCluster = None


def rows(n, seed):
    """n normalised double-double rows: hi around 3, lo within half an ulp."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) + 3.0
    return np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)


def rows_block(block, seed, block_info=None):
    """The rows of one chunk, made where the chunk is computed (on a worker),
    seeded by the chunk's first row."""
    start = block_info[0]["array-location"][0][0]
    return rows(len(block), [seed, start])


def operand(rows_count, chunk, seed):
    """An (N, 2) Dask array of random rows in (chunk, 2) chunks, built on the
    workers: only the recipe travels, not the data."""
    shape = da.zeros((rows_count, 2), chunks=(chunk, 2))
    return shape.map_blocks(rows_block, seed, dtype=np.float64)


def rowwise(f, *arrays):
    """f on each (k, 2) block of the arrays, which are chunked alike; the
    result has the same chunks."""
    return da.map_blocks(f, *arrays, dtype=np.float64, meta=np.empty((0, 2)))


def same_bits(x, y):
    return x.shape == y.shape and np.array_equal(x.view(np.uint64), y.view(np.uint64))


def run(rows_count, chunk, across_processes=True):
    a, b = operand(rows_count, chunk, 1), operand(rows_count, chunk, 2)
    print(f"{rows_count} rows in {a.numblocks[0]} chunks of up to {chunk} rows")
    a_np, b_np = aligned(a.compute()), aligned(b.compute())   # the whole operands, for the single calls

    # a*b + a/b - b, one task per chunk and step, and the same in single calls.
    expr = rowwise(ostrell.sub_arrays,
                   rowwise(ostrell.add_arrays, rowwise(ostrell.mul_arrays, a, b),
                           rowwise(ostrell.div_arrays, a, b)),
                   b)
    t0 = time.perf_counter()
    chunked = expr.compute()
    t1 = time.perf_counter()
    whole = ostrell.sub_arrays(ostrell.add_arrays(ostrell.mul_arrays(a_np, b_np),
                                                  ostrell.div_arrays(a_np, b_np)), b_np)
    t2 = time.perf_counter()
    print(f"a*b + a/b - b: chunked {t1 - t0:.3f} s, one call per step {t2 - t1:.3f} s")
    print(f"first rows:\n{chunked[:2]}")
    if not same_bits(chunked, whole):
        raise SystemExit("chunked result differs from one call")
    print("chunked result equals the single calls bit for bit")
    run_dtype(a, b, a_np, b_np, across_processes)


def aligned(rows):
    """C-contiguous, 8-byte aligned rows (a copy only where needed).  Arrays
    received from other processes may start at any byte; NumPy reduces an
    unaligned array in buffered blocks, which changes np.sum's bits."""
    return np.require(rows, np.float64, ["C", "A"])


def as_dtype(x):
    """An (N, 2) float64 Dask array as an (N,) Dask array of Float128DType."""
    return x.map_blocks(lambda blk: ostrell_numpy.as_float128(aligned(blk)), drop_axis=1,
                        dtype=ostrell_numpy.float128_dtype,
                        meta=np.empty((0,), dtype=ostrell_numpy.float128_dtype))


def chunk_sum(x, axis=None, keepdims=False):
    """np.sum, always an array: Dask asks results for a dtype, and a
    Float128 scalar has none."""
    return np.asarray(np.sum(x, axis=axis, keepdims=keepdims), dtype=ostrell_numpy.float128_dtype)


def sum_over_chunks(x):
    """np.sum of each chunk, then np.sum of the partial sums in chunk order
    (one aggregation step, whatever the number of chunks)."""
    return da.reduction(x, chunk_sum, chunk_sum, split_every=max(x.numblocks[0], 2),
                        dtype=ostrell_numpy.float128_dtype)


def dtype_rowwise(f, *arrays):
    """f on the dtype inside each task, its chunks carried as (k, 2) rows:
    Dask's distributed protocol rebuilds an array's dtype from its type
    string, which a user-defined dtype does not have, so between processes
    the chunks travel as rows (zero-copy views both ways)."""
    def block(*blks):
        return ostrell_numpy.as_rows(f(*(ostrell_numpy.as_float128(aligned(b))
                                         for b in blks)))
    return rowwise(block, *arrays)


def run_dtype(a, b, a_np, b_np, across_processes):
    xs, ys = ostrell_numpy.as_float128(a_np), ostrell_numpy.as_float128(b_np)
    t0 = time.perf_counter()
    if across_processes:
        chunked = ostrell_numpy.as_float128(
            dtype_rowwise(lambda x, y: np.exp(x / y) * y + x, a, b).compute())
    else:
        x, y = as_dtype(a), as_dtype(b)
        chunked = (np.exp(x / y) * y + x).compute()
    t1 = time.perf_counter()
    whole = np.exp(xs / ys) * ys + xs
    print(f"dtype np.exp(x / y) * y + x: chunked {t1 - t0:.3f} s, one call {time.perf_counter() - t1:.3f} s")
    if not same_bits(ostrell_numpy.as_rows(chunked), ostrell_numpy.as_rows(whole)):
        raise SystemExit("chunked dtype result differs from one call")
    step = a.chunks[0][0]
    if across_processes:
        sums = a.map_blocks(lambda blk: ostrell_numpy.to_rows([np.sum(ostrell_numpy.as_float128(aligned(blk)))]),
                            chunks=((1,) * a.numblocks[0], (2,)), dtype=np.float64)
        total = np.sum(ostrell_numpy.as_float128(aligned(sums.compute())))
    else:
        total = sum_over_chunks(as_dtype(a)).compute()[()]
    parts = np.array([np.sum(xs[s:s + step]) for s in range(0, len(xs), step)],
                     dtype=ostrell_numpy.float128_dtype)
    if not same_bits(ostrell_numpy.to_rows([total]), ostrell_numpy.to_rows([np.sum(parts)])):
        raise SystemExit("chunked sum differs from the sum of the chunk sums")
    print(f"dtype: chunked ufuncs equal one call, sum over chunks {total} (bits as in one process)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--scheduler", default="local" if Client else "threads",
                        help="threads, local or the address of a dask scheduler")
    parser.add_argument("--rows", type=int, default=2_000_000)
    parser.add_argument("--chunk", type=int, default=250_000)
    args = parser.parse_args()

    if args.scheduler == "threads":
        import dask
        with dask.config.set(scheduler="threads"):
            print("scheduler: Dask threads in this process")
            run(args.rows, args.chunk, across_processes=False)
        return
    if Client is None:
        raise SystemExit("--scheduler local or an address needs dask.distributed: "
                         "pip install 'ostrell[dask]'")
    if args.scheduler == "local":
        with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            workers = len(client.scheduler_info()["workers"])
            print(f"scheduler: LocalCluster, {workers} worker processes")
            run(args.rows, args.chunk)
    else:
        with Client(args.scheduler) as client:
            workers = len(client.scheduler_info()["workers"])
            print(f"scheduler: {args.scheduler}, {workers} workers")
            run(args.rows, args.chunk)


if __name__ == "__main__":
    main()
