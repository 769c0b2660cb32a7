"""Speed of the Python module against its peers, every figure from one run.

Arrays: add_arrays, sub_arrays, mul_arrays, div_arrays against NumPy's
float64 operation on the same (N, 2) arrays (the same bytes in and out, a
fresh result per call), ns per row and time ratios, for N = 10^4, 10^6,
10^7; np.add is the reference, and np.add into a preallocated result shows
the cost of the fresh result's allocation and page faults.  Then every
instruction-set path of the batch API, from the C++ benchmark
build/rel/benchmarks/bench_batch_arith when it is built (the module always
takes the widest path).

Scalars: Float128 and Complex128 against Python float (math for sqrt, exp,
sin), mpmath.mpf at 32 digits and gmpy2.mpfr at 106 bits, ns per statement
(timeit's loop around the bare statement; "x" alone shows that floor), and
the scalar targets checked on the figures of the same run.

    pip install '.[bench]'  (or: pip install . gmpy2 mpmath)
    python benchmarks/run.py [--quick] [--arrays | --scalars]

Each figure is the best of several repetitions (arrays: ours and the peer's
measured alternately; scalars: many short repetitions, so that on a shared
machine the best is likely one that ran alone); figures vary with the load.
"""
import datetime
import math
import platform
import subprocess
import sys
import time
import timeit
from pathlib import Path

import numpy as np

import ostrell

try:
    import mpmath
except ImportError:  # pragma: no cover - the column is left out
    mpmath = None
try:
    import gmpy2
except ImportError:  # pragma: no cover - the column is left out
    gmpy2 = None


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def header():
    versions = [f"Python {platform.python_version()}", f"NumPy {np.__version__}"]
    if mpmath:
        versions.append(f"mpmath {mpmath.__version__}")
    if gmpy2:
        versions.append(f"gmpy2 {gmpy2.version()}")
    print(f"machine: {cpu_model()}, {platform.machine()}, {platform.system()}")
    print(f"date:    {datetime.datetime.now().isoformat(timespec='seconds')}")
    print(f"python:  {', '.join(versions)}")
    print(f"command: python {' '.join(sys.argv)}")
    print()


def best_of(functions, repeat, calls=1):
    """Best wall time of each function, all taken in turn, repeat x calls
    times (short single calls are the likeliest to run undisturbed on a
    shared machine).  Each timed call follows two untimed calls of the same
    function, so it finds the caches and the allocator as a loop of that
    function leaves them (a fresh result reuses the block just freed, which
    the previous function may have left in the caches or not)."""
    best = [math.inf] * len(functions)
    for _ in range(repeat * calls):
        for k, f in enumerate(functions):
            f()
            f()
            t0 = time.perf_counter()
            f()
            t1 = time.perf_counter()
            best[k] = min(best[k], t1 - t0)
    return best


def operands(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) + 3.0
    return np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)


ARRAY_OPS = [(ostrell.add_arrays, np.add), (ostrell.sub_arrays, np.subtract),
             (ostrell.mul_arrays, np.multiply), (ostrell.div_arrays, np.divide)]
ARRAY_SIZES = [10 ** 4, 10 ** 6, 10 ** 7]
BATCH_BENCH = Path(__file__).resolve().parent.parent / "build/rel/benchmarks/bench_batch_arith"


def cpu_flags():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("flags"):
                    return set(line.split(":", 1)[1].split())
    except OSError:
        pass
    return set()


def module_path():
    """The path the array functions take: the widest this CPU has."""
    flags = cpu_flags()
    return "AVX-512F" if "avx512f" in flags else "AVX2" if "avx2" in flags else "SSE2"


def size_label(n):
    e = round(math.log10(n))
    return f"10^{e}" if 10 ** e == n else str(n)


def bench_arrays(sizes, repeat):
    print("Arrays: (N, 2) float64 in, a fresh (N, 2) float64 out per call, against NumPy's float64")
    print(f"operation on the same arrays; ns per row, min of {repeat} repetitions (x 10^6/N below")
    print("10^6 rows), every function in turn, each timed call after two untimed ones.")
    print(f"The module takes the {module_path()} path (the widest this CPU has).  The ratio to")
    print("np.add is the reference figure; 'reused' is np.add into a preallocated result.")
    print("| N | function | ostrell ns/row | NumPy same op ns/row | ratio | np.add ns/row | "
          "ratio to np.add | np.add reused ns/row | ratio to reused |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for n in sizes:
        a, b = operands(n, 1), operands(n, 2)
        out = np.empty_like(a)
        functions = [lambda f=ours: f(a, b) for ours, _ in ARRAY_OPS]
        functions += [lambda f=theirs: f(a, b) for _, theirs in ARRAY_OPS]
        functions.append(lambda: np.add(a, b, out=out))
        t = [v / n * 1e9 for v in best_of(functions, repeat, max(1, 10 ** 6 // n))]
        t_add, t_reused = t[4], t[8]
        for k, (ours, _) in enumerate(ARRAY_OPS):
            print(f"| {size_label(n)} | {ours.__name__} | {t[k]:.3f} | {t[4 + k]:.3f} | "
                  f"{t[k] / t[4 + k]:.2f} | {t_add:.3f} | {t[k] / t_add:.2f} | "
                  f"{t_reused:.3f} | {t[k] / t_reused:.2f} |")
    print()


def bench_paths(binary, quick):
    """Every path the machine has, from the C++ benchmark of the batch API
    (the module always takes the widest)."""
    if not binary.exists():
        print(f"Per-path figures: build the C++ benchmark first ({binary} not found):")
        print("  cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release && "
              "cmake --build build/rel --target bench_batch_arith")
        print()
        return
    print(f"Per path: the batch API from C++ ({binary}), against the float64 add loop NumPy runs")
    sys.stdout.flush()
    subprocess.run([str(binary)] + (["--quick"] if quick else []), check=True)
    print()


def scalar_cases():
    text = "1.2345678901234567890123456789012"
    text_y = "3.1415926535897932384626433832795"
    F, C = ostrell.Float128, ostrell.Complex128
    # copy: a fresh operand for each timing run, as `x += y` changes a Float128.
    columns = {"Float128": dict(X=F(text), Y=F(text_y), T=F, copy=lambda v: -(-v), sqrt=ostrell.sqrt,
                                exp=ostrell.exp, sin=ostrell.sin, abs=ostrell.abs, s=text),
               "Complex128": dict(X=C(F(text), F(text_y)), Y=C(F(text_y), F("-0.5")), T=C,
                                  copy=lambda v: C(v.real(), v.imag()), sqrt=ostrell.sqrt,
                                  exp=ostrell.exp, sin=ostrell.sin, abs=ostrell.abs, s=complex(1.25, -3.5),
                                  skip={"x == y"}),   # no __eq__: Python's identity test
               "float": dict(X=float(text), Y=float(text_y), T=float, copy=float, sqrt=math.sqrt,
                             exp=math.exp, sin=math.sin, abs=abs, s=text)}
    if mpmath:
        mpmath.mp.dps = 32
        columns["mpf 32d"] = dict(X=mpmath.mpf(text), Y=mpmath.mpf(text_y), T=mpmath.mpf,
                                  copy=lambda v: v, sqrt=mpmath.sqrt, exp=mpmath.exp,
                                  sin=mpmath.sin, abs=abs, s=text)
    if gmpy2:
        gmpy2.get_context().precision = 106
        columns["mpfr 106b"] = dict(X=gmpy2.mpfr(text), Y=gmpy2.mpfr(text_y), T=gmpy2.mpfr,
                                    copy=lambda v: v, sqrt=gmpy2.sqrt, exp=gmpy2.exp,
                                    sin=gmpy2.sin, abs=abs, s=text)
    statements = ["x", "x + y", "x - y", "x * y", "x / y", "x < y", "x == y", "-x", "x += y",
                  "sqrt(x)", "exp(x)", "sin(x)", "abs(x)", "T(s)", "str(x)"]
    return columns, statements


def time_statement(stmt, names, number, repeat):
    """ns per statement (None where the type has no such operation); x and y
    are local variables of timeit's loop, fresh for each repetition."""
    if stmt in names.get("skip", ()):
        return None
    timer = timeit.Timer(stmt, setup="x = copy(X); y = Y", globals=names)
    try:
        timer.timeit(1)
    except TypeError:
        return None
    return min(timer.repeat(repeat=repeat, number=number)) / number * 1e9


# The targets: statements, the column measured, the reference column, the bound.
TARGETS = [(["x + y", "x - y", "x * y", "x / y"], "Float128", "mpfr 106b", 2.5),
           (["x < y", "x == y", "x += y"], "Float128", "float", 1.5),
           (["x + y", "x - y", "x * y", "x / y", "x += y"], "Complex128", "Float128", 2.0)]


def bench_scalars(number, repeat):
    columns, statements = scalar_cases()
    names = list(columns)
    peers = [n for n in names if n not in ("Float128", "Complex128")]
    print(f"Scalars: ns per statement (timeit, best of {repeat} x {number}); "
          "mpmath at 32 digits, gmpy2 at 106 bits; T(s) builds from a 32-digit str "
          "(Complex128: from a complex)")
    print(f"{'statement':<9}" + "".join(f"{c:>11}" for c in names)
          + "".join(f"{'F128/' + c:>15}" for c in peers) + f"{'C128/F128':>11}")
    table = {}
    cell = lambda v: f"{v:>11.1f}" if v is not None else f"{'-':>11}"
    ratio = lambda a, b, w: f"{a / b:>{w - 1}.2f}x" if a is not None and b is not None else f"{'-':>{w}}"
    for stmt in statements:
        ns = {name: time_statement(stmt, columns[name], number, repeat) for name in names}
        table[stmt] = ns
        print(f"{stmt:<9}" + "".join(cell(ns[n]) for n in names)
              + "".join(ratio(ns["Float128"], ns[n], 15) for n in peers)
              + ratio(ns["Complex128"], ns["Float128"], 11))
    print("(ratio columns: Float128 time over the peer's, and Complex128 time over Float128's;"
          " 'x' alone is the timing loop's floor; '-': no such operation)")
    print("Targets (same run):")
    for stmts, ours, ref, bound in TARGETS:
        if ref not in table["x"]:
            continue
        for stmt in stmts:
            r = table[stmt][ours] / table[stmt][ref]
            print(f"  {stmt:<7} {ours} / {ref}: {r:5.2f}x  (target <= {bound}x: "
                  f"{'met' if r <= bound else 'not met'})")
    print()


def main():
    quick = "--quick" in sys.argv
    only_arrays, only_scalars = "--arrays" in sys.argv, "--scalars" in sys.argv
    header()
    if not only_scalars:
        bench_arrays([10 ** 4, 10 ** 6] if quick else ARRAY_SIZES, 3 if quick else 11)
        bench_paths(BATCH_BENCH, quick)
    if not only_arrays:
        bench_scalars(20_000, 3 if quick else 100)


if __name__ == "__main__":
    main()
