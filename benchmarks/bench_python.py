"""Timing of the Python module: array functions against NumPy float64, and
Float128 scalar latency against float and mpmath.mpf (32 digits).

Run after `pip install .`:  python benchmarks/bench_python.py [--quick]
Best of several repetitions; figures vary with the machine's load.
"""
import sys
import time
import timeit

import mpmath
import numpy as np

import ostrell


def best_seconds(fn, repeat):
    best = float("inf")
    for _ in range(repeat):
        t0 = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t0)
    return best


def operands(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) + 3.0
    return np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)


def bench_arrays(sizes, repeat):
    print("array functions vs NumPy float64 on the same (N, 2) arrays (result allocated per call)")
    print(f"{'rows':>10} {'op':<12} {'ostrell rows/s':>15} {'numpy rows/s':>14} {'ratio':>7}")
    pairs = [(ostrell.add_arrays, np.add), (ostrell.mul_arrays, np.multiply),
             (ostrell.div_arrays, np.divide)]
    for n in sizes:
        a, b = operands(n, 1), operands(n, 2)
        for ours, theirs in pairs:
            t_ours = best_seconds(lambda: ours(a, b), repeat)
            t_np = best_seconds(lambda: theirs(a, b), repeat)
            print(f"{n:>10} {ours.__name__:<12} {n / t_ours:>15.3e} {n / t_np:>14.3e} "
                  f"{t_ours / t_np:>6.2f}x")
    print()


def bench_scalars(number):
    mpmath.mp.dps = 32
    F = ostrell.Float128
    fx, fy = F("1.2345678901234567890123456789012"), F("3.1415926535897932384626433832795")
    px, py = 1.2345678901234567, 3.1415926535897932
    mx, my = mpmath.mpf("1.2345678901234567890123456789012"), mpmath.mpf("3.1415926535897932384626433832795")
    text = "1.2345678901234567890123456789012"
    cases = [
        ("x + y", lambda: fx + fy, lambda: px + py, lambda: mx + my),
        ("x * y", lambda: fx * fy, lambda: px * py, lambda: mx * my),
        ("x / y", lambda: fx / fy, lambda: px / py, lambda: mx / my),
        ("from str", lambda: F(text), lambda: float(text), lambda: mpmath.mpf(text)),
        ("str(x)", lambda: str(fx), lambda: str(px), lambda: str(mx)),
    ]
    print(f"scalar latency, ns per call (best of 5 x {number}); mpmath at 32 digits")
    print(f"{'operation':<10} {'Float128':>10} {'float':>10} {'mpf':>10}")
    for name, *fns in cases:
        ns = [min(timeit.repeat(fn, number=number, repeat=5)) / number * 1e9 for fn in fns]
        print(f"{name:<10} {ns[0]:>10.1f} {ns[1]:>10.1f} {ns[2]:>10.1f}")


if __name__ == "__main__":
    quick = "--quick" in sys.argv
    bench_arrays([10 ** 5] if quick else [10 ** 6, 10 ** 7], 3 if quick else 7)
    bench_scalars(20_000 if quick else 200_000)
