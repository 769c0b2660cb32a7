"""Speed of the NumPy dtype Float128DType, every figure from one run.

- a + b, a * b on 10^6 and 10^7 elements against np.add / np.multiply of
  float64 on the same bytes viewed as (N, 2) (the memory traffic of the dtype
  with one binary64 operation per part);
- a + x (x one broadcast Float128) against a + b;
- np.exp(a) against ostrell_numpy.exp(rows), np.sum(a) against
  ostrell_numpy.sum(rows) (the same bytes);
- per-call time of np.add on 1, 10 and 100 elements against float64 arrays
  of the same length;
- np.sort of 10^6 elements against np.sort of 10^6 float64 values;
- a peer table: the ufuncs on 10^6 elements of this dtype, of xprec's
  ddouble and of numpy-quaddtype's QuadPrecDType, when those are installed.

    pip install .   (optionally: pip install xprec numpy-quaddtype)
    python benchmarks/run_dtype.py [--quick] [--repeat R]

Each figure is the best of R repetitions (default 11), the two sides of a
ratio measured alternately; the machine's load moves the figures.
"""
import argparse
import math
import time

import numpy as np

import ostrell_numpy as on
from run_numpy import header  # benchmarks/run_numpy.py, beside this script

DT = on.float128_dtype


def best(fns, repeat, calls=1):
    """Best time per call of each function, the functions called in turn."""
    t = [math.inf] * len(fns)
    for _ in range(repeat):
        for i, f in enumerate(fns):
            t0 = time.perf_counter()
            for _ in range(calls):
                f()
            t[i] = min(t[i], (time.perf_counter() - t0) / calls)
    return t


def rows(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.uniform(0.5, 2.0, n)
    r = np.empty((n, 2))
    r[:, 0] = hi
    r[:, 1] = hi * rng.uniform(-2.0**-54, 2.0**-54, n)
    return r


def line(label, ours, ref, ref_name, target=None):
    mark = "" if target is None else ("  ok" if ours / ref <= target else f"  above {target}")
    print(f"{label:<34} {ours * 1e3:10.3f} ms  {ref_name:<26} {ref * 1e3:10.3f} ms  {ours / ref:6.2f}x{mark}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--quick", action="store_true", help="10^5 / 10^6 elements, fewer repeats")
    parser.add_argument("--repeat", type=int, default=11)
    args = parser.parse_args()
    repeat = 5 if args.quick else args.repeat
    sizes = [10**5, 10**6] if args.quick else [10**6, 10**7]
    header()

    print("dtype                              time          reference                  time       ratio")
    for n in sizes:
        ra, rb = rows(n, 1), rows(n, 2)
        a, b = on.as_float128(ra), on.as_float128(rb)
        out, fout = np.empty_like(a), np.empty_like(ra)
        for name, uf in (("add", np.add), ("multiply", np.multiply)):
            t = best([lambda: uf(a, b, out=out), lambda: uf(ra, rb, out=fout)], repeat)
            line(f"np.{name}(a, b) n={n:.0e}", t[0], t[1], "float64 (N, 2) same bytes", 1.10)
        x = a[0]
        t = best([lambda: np.add(a, x, out=out), lambda: np.add(a, b, out=out)], repeat)
        line(f"a + x (broadcast) n={n:.0e}", t[0], t[1], "a + b", 1.10)
    n = sizes[0]
    ra = rows(n, 3)
    a = on.as_float128(ra)
    t = best([lambda: np.exp(a), lambda: on.exp(ra)], repeat)
    line(f"np.exp(a) n={n:.0e}", t[0], t[1], "ostrell_numpy.exp(rows)", 1.05)
    t = best([lambda: np.sum(a), lambda: on.sum(ra)], repeat)
    line(f"np.sum(a) n={n:.0e}", t[0], t[1], "ostrell_numpy.sum(rows)", 1.2)
    for k in (1, 10, 100):
        s, f = on.as_float128(rows(k, 4)), rows(k, 4)[:, 0].copy()
        t = best([lambda: np.add(s, s), lambda: np.add(f, f)], repeat, calls=2000)
        line(f"np.add per call, {k} elements", t[0], t[1], "float64, same length", 1.3)
    if np.lib.NumpyVersion(np.__version__) >= "2.4.0":  # sorting of a new DType
        ra = rows(10**6, 5)
        ra[:, 0] *= np.random.default_rng(6).choice([-1.0, 1.0], 10**6)
        a, f = on.as_float128(ra), ra[:, 0].copy()
        t = best([lambda: np.sort(a), lambda: np.sort(f)], repeat)
        line("np.sort n=1e6", t[0], t[1], "np.sort float64", 4.0)
    peers(repeat)


def peers(repeat):
    """ms for 10^6 elements per ufunc: this dtype and the peers installed."""
    n = 10**6
    dtypes = {"ostrell": DT}
    try:
        import xprec

        dtypes["xprec"] = np.dtype(xprec.ddouble)
    except ImportError:
        pass
    try:
        import numpy_quaddtype

        dtypes["quaddtype"] = numpy_quaddtype.QuadPrecDType()
    except ImportError:
        pass
    base = rows(n, 7)[:, 0]
    ops = {"add": lambda a, b: np.add(a, b), "subtract": lambda a, b: np.subtract(a, b),
           "multiply": lambda a, b: np.multiply(a, b), "divide": lambda a, b: np.divide(a, b),
           "sqrt": lambda a, b: np.sqrt(a), "exp": lambda a, b: np.exp(a), "log": lambda a, b: np.log(a),
           "sin": lambda a, b: np.sin(a), "cos": lambda a, b: np.cos(a), "tan": lambda a, b: np.tan(a),
           "arctan": lambda a, b: np.arctan(a), "tanh": lambda a, b: np.tanh(a),
           "power": lambda a, b: np.power(a, b), "less": lambda a, b: np.less(a, b),
           "maximum": lambda a, b: np.maximum(a, b), "sum": lambda a, b: np.sum(a), "sort": lambda a, b: np.sort(a)}
    arrays = {k: (base.astype(d), (base[::-1] + 0.25).astype(d)) for k, d in dtypes.items()}
    print()
    print(f"peers, ms per call on {n:.0e} elements (ratio: peer / ostrell)")
    print(f"{'ufunc':<10}" + "".join(f"{k:>12}" for k in dtypes) + "".join(f"{k + '/o':>12}" for k in dtypes if k != "ostrell"))
    for name, op in ops.items():
        times = {}
        for k in dtypes:
            try:
                times[k] = best([lambda: op(*arrays[k])], repeat)[0]
            except Exception:
                times[k] = math.nan
        cells = "".join(f"{times[k] * 1e3:12.2f}" for k in dtypes)
        ratios = "".join(f"{times[k] / times['ostrell']:12.1f}" for k in dtypes if k != "ostrell")
        print(f"{name:<10}{cells}{ratios}")


if __name__ == "__main__":
    main()
