"""Row arithmetic from Python on each path against np.add on the same bytes.

For N rows of (N, 2) float64 operands: ostrell_numpy.add/sub/mul/div on each
path the CPU has (forced with the companion's private hook _force_isa) and
ostrell.div_arrays (the ostrell module, best path), each timed alternately
with np.add(a, b) on the same two arrays, every call making a fresh result;
min of the repetitions; ratio = time / time of np.add.

    pip install .
    python benchmarks/arith_numpy.py [--reps R] [--rows N]...
"""
import argparse
import datetime
import math
import platform
import sys
import time

import numpy as np

import ostrell
import ostrell_numpy as onp
from run import cpu_model  # benchmarks/run.py, beside this script
from run_numpy import best_pair

PATHS = ["avx512", "avx2", "sse2"]
OPS = ["add", "sub", "mul", "div"]


def rows(n, seed):
    """Rows as bench_batch_arith makes them: hi normal around 3, lo within half an ulp."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) + 3.0
    return np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--reps", type=int, default=11)
    p.add_argument("--rows", type=int, action="append")
    args = p.parse_args()
    sizes = args.rows or [10 ** 4, 10 ** 6, 10 ** 7]
    paths = []
    for name in PATHS:
        try:
            onp._force_isa(name)
            paths.append(name)
        except ValueError:
            pass
    onp._force_isa(None)
    print(f"machine: {cpu_model()}, {platform.machine()}; paths {' '.join(paths)} (best {onp.isa})")
    print(f"date:    {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC; "
          f"Python {platform.python_version()}, NumPy {np.__version__}")
    print(f"command: python {' '.join(sys.argv)}")
    print(f"ns per row, fresh result; ratio = time / np.add(a, b) on the same (N, 2) float64 arrays, "
          f"timed alternately; min of {args.reps} (x 10^6/N below 10^6 rows)\n")
    print("| N | op | np.add ns | " + " | ".join(f"{p} ns | ratio" for p in paths) + " | div_arrays ns | ratio |")
    print("|---|---|---:|" + "---:|---:|" * (len(paths) + 1))
    for n in sizes:
        a, b = rows(n, 1), rows(n, 2)
        reps = args.reps * max(1, 10 ** 6 // n)
        for op in OPS:
            f = getattr(onp, op)
            cells, ref = [], math.inf
            for path in paths:
                onp._force_isa(path)
                t, r = best_pair(lambda: f(a, b), lambda: np.add(a, b), reps)
                cells.append(t)
                ref = min(ref, r)
            onp._force_isa(None)
            extra = ""
            if op == "div":
                t, r = best_pair(lambda: ostrell.div_arrays(a, b), lambda: np.add(a, b), reps)
                ref = min(ref, r)
                extra = f" {t / n * 1e9:.3f} | {t / ref:.2f} |"
            else:
                extra = " | |"
            line = " | ".join(f"{t / n * 1e9:.3f} | {t / ref:.2f}" for t in cells)
            print(f"| {n:.0e} | {op} | {ref / n * 1e9:.3f} | {line} |{extra}", flush=True)


if __name__ == "__main__":
    main()
