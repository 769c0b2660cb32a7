"""Speed of the Python module against its peers, every figure from one run.

Arrays: add_arrays, sub_arrays, mul_arrays, div_arrays against NumPy's
float64 operation on the same (N, 2) arrays (the same bytes in and out, a
fresh result per call), rows per second and time ratio.  Two NumPy copies of
the same bytes show the machine's memory speed: a fresh copy of one (N, 2)
array, and np.add into a preallocated result (no page faults).

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
import sys
import time
import timeit

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


def operands(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) + 3.0
    return np.stack([hi, hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)], axis=1)


ARRAY_OPS = [(ostrell.add_arrays, np.add), (ostrell.sub_arrays, np.subtract),
             (ostrell.mul_arrays, np.multiply), (ostrell.div_arrays, np.divide)]


def bench_arrays(sizes, repeat):
    print("Arrays: (N, 2) float64 in, fresh (N, 2) float64 out; NumPy float64 on the same arrays")
    print(f"{'rows':>9} {'function':<11} {'ostrell ms':>10} {'rows/s':>10} "
          f"{'numpy ms':>9} {'rows/s':>10} {'ratio':>6}")
    for n in sizes:
        a, b = operands(n, 1), operands(n, 2)
        for ours, theirs in ARRAY_OPS:
            t_ours, t_np = best_pair(lambda: ours(a, b), lambda: theirs(a, b), repeat)
            print(f"{n:>9} {ours.__name__:<11} {t_ours * 1e3:>10.2f} {n / t_ours:>10.3e} "
                  f"{t_np * 1e3:>9.2f} {n / t_np:>10.3e} {t_ours / t_np:>5.2f}x")
        out = np.empty_like(a)
        t_copy, t_into = best_pair(lambda: a.copy(), lambda: np.add(a, b, out=out), repeat)
        mib = 16 * n / 2 ** 20
        print(f"{n:>9} memory: fresh copy of one array {t_copy * 1e3:.2f} ms "
              f"({2 * mib / 1024 / t_copy:.1f} GiB/s moved); "
              f"np.add into a preallocated result {t_into * 1e3:.2f} ms "
              f"({3 * mib / 1024 / t_into:.1f} GiB/s moved)")
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
        bench_arrays([10 ** 5] if quick else [10 ** 6, 10 ** 7], 3 if quick else 9)
    if not only_arrays:
        bench_scalars(20_000, 3 if quick else 100)


if __name__ == "__main__":
    main()
