"""Speed of the ostrell_numpy companion, every figure from one run.

Element-wise functions: ns per value of ostrell_numpy on an (N, 2) array
against a Python loop calling the ostrell function on Float128 objects (the
objects made beforehand; the loop makes the result objects), and the ratio.

Reductions: ns per value of sum_float64 against np.sum on the same float64
array, and of sum and dot on (N, 2) rows.

    pip install .
    python benchmarks/run_numpy.py [--quick]

Each figure is the best of several repetitions, ours and the peer's measured
alternately; figures vary with the machine's load.
"""
import datetime
import math
import platform
import sys
import time

import numpy as np

import ostrell
import ostrell_numpy as onp
from run import cpu_model  # benchmarks/run.py, beside this script

UNARY = ["sqrt", "exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "atan", "asin",
         "acos", "floor", "ceil", "trunc", "round"]
BINARY = ["pow", "atan2", "fmod"]
OPERATORS = {"add": lambda a, b: a + b, "sub": lambda a, b: a - b,
             "mul": lambda a, b: a * b, "div": lambda a, b: a / b}


def header():
    print(f"machine: {cpu_model()}, {platform.machine()}, {platform.system()}; path {onp.isa}")
    print(f"date:    {datetime.datetime.now().isoformat(timespec='seconds')}")
    print(f"python:  Python {platform.python_version()}, NumPy {np.__version__}")
    print(f"command: python {' '.join(sys.argv)}")
    print()


def best_pair(f, g, repeat):
    """Best wall time of f and of g, called alternately."""
    tf = tg = math.inf
    for _ in range(repeat):
        t0 = time.perf_counter()
        f()
        t1 = time.perf_counter()
        g()
        t2 = time.perf_counter()
        tf, tg = min(tf, t1 - t0), min(tg, t2 - t1)
    return tf, tg


def rows(n, seed, lo_value=0.1, hi_value=2.0):
    """Normalised rows with high parts uniform in (lo_value, hi_value)."""
    rng = np.random.default_rng(seed)
    hi = rng.uniform(lo_value, hi_value, n)
    lo = hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)
    s = hi + lo
    return np.stack([s, lo - (s - hi)], axis=1)


def argument(name, n, seed):
    if name in ("asin", "acos"):
        return rows(n, seed, -0.99, 0.99)
    if name in ("sin", "cos", "tan"):
        return rows(n, seed, -6.0, 6.0)
    if name in ("exp", "sinh", "cosh", "tanh"):
        return rows(n, seed, -20.0, 20.0)
    return rows(n, seed, 0.1, 100.0)


def bench_elementwise(n, n_loop, repeat):
    print(f"Element-wise: ostrell_numpy on {n} rows against a Python loop over {n_loop} Float128 objects")
    print(f"{'function':<9} {'array ns/value':>15} {'loop ns/value':>14} {'speed-up':>9}")
    for name in UNARY + BINARY + list(OPERATORS) + ["sincos"]:
        binary = name in BINARY or name in OPERATORS
        a, b = argument(name, n, 1), argument(name, n, 2)
        va, vb = onp.from_rows(a[:n_loop]), onp.from_rows(b[:n_loop])
        f = getattr(onp, name)
        if name == "sincos":
            scalar = lambda: [(ostrell.sin(x), ostrell.cos(x)) for x in va]
        elif binary:
            g = OPERATORS.get(name) or getattr(ostrell, name)
            scalar = lambda: [g(x, y) for x, y in zip(va, vb)]
        else:
            g = getattr(ostrell, name)
            scalar = lambda: [g(x) for x in va]
        ours = (lambda: f(a, b)) if binary else (lambda: f(a))
        t_ours, t_loop = best_pair(ours, scalar, repeat)
        ns_ours, ns_loop = t_ours / n * 1e9, t_loop / n_loop * 1e9
        print(f"{name:<9} {ns_ours:>15.1f} {ns_loop:>14.1f} {ns_loop / ns_ours:>8.0f}x")
    print()


def bench_reductions(n, repeat):
    rng = np.random.default_rng(3)
    x = rng.standard_normal(n)
    r = onp.from_float64(x)
    print(f"Reductions on {n} values (ns per value; np.sum on the same float64 array)")
    print(f"{'reduction':<30} {'ours ns':>8} {'np.sum ns':>10} {'time ratio':>11}")
    t_ours, t_np = best_pair(lambda: onp.sum_float64(x), lambda: np.sum(x), repeat)
    print(f"{'sum_float64(x)':<30} {t_ours / n * 1e9:>8.3f} {t_np / n * 1e9:>10.3f} {t_ours / t_np:>10.2f}x")
    flat = r.ravel()
    t_ours, t_np = best_pair(lambda: onp.sum(r), lambda: np.sum(flat), repeat)
    print(f"{'sum(rows) vs np.sum of 2N':<30} {t_ours / n * 1e9:>8.3f} {t_np / n * 1e9:>10.3f} {t_ours / t_np:>10.2f}x")
    t_ours, t_np = best_pair(lambda: onp.dot(r, r), lambda: np.dot(flat, flat), repeat)
    print(f"{'dot(rows, rows) vs np.dot 2N':<30} {t_ours / n * 1e9:>8.3f} {t_np / n * 1e9:>10.3f} {t_ours / t_np:>10.2f}x")
    print()


def main():
    quick = "--quick" in sys.argv
    header()
    bench_elementwise(10 ** 5 if quick else 10 ** 6, 10 ** 4 if quick else 10 ** 5, 3 if quick else 5)
    bench_reductions(10 ** 6 if quick else 10 ** 7, 5 if quick else 15)


if __name__ == "__main__":
    main()
