"""Robustness: every function on every special operand, the decided special
results, memory that stays flat under long use and on error paths, and
threads that compute what one thread computes."""
import ctypes
import gc
import math
import operator
import random
import struct
import sys
import threading

import numpy as np
import pytest

import ostrell
from ostrell import Complex128 as C, Float128 as F
from ddvalues import cplx, hx, parts, real, same


def bits(d):
    return struct.unpack("<Q", struct.pack("<d", d))[0]


def from_bits(u):
    return struct.unpack("<d", struct.pack("<Q", u))[0]


QNAN = 0x7FF8000000000000
MAX, SUB, INF = sys.float_info.max, 5e-324, math.inf
NANS = [from_bits(u) for u in (QNAN, 0xFFF8000000000000, 0x7FF4000000000DEF, 0xFFF4000000000DEF)]

# Every operand as an exact (hi, lo) pair: the signed specials, the two NaN
# payloads with both signs, and pairs with a low part that Float128
# arithmetic builds (1 + 2^-54 stays (1, 2^-54): below half an ulp).
SPECIALS = [(s * v, 0.0) for v in (0.0, SUB, 1.0, MAX, INF) for s in (1.0, -1.0)] + [(n, 0.0) for n in NANS]
PAIRS = [(1.0, 2.0 ** -54), (1.0, -2.0 ** -54), (-1.0, -2.0 ** -54), (MAX, 2.0 ** 969), (-MAX, -2.0 ** 969)]
OPERANDS = SPECIALS + PAIRS
# Rows only the array functions (and the byte image) can carry: low parts
# that are not small against the high part, NaN or infinite low parts.
UNNORMALISED = [(1.0, 1.0), (0.0, 1.0), (-0.0, -1.0), (1.0, -1.0), (INF, 5.0), (NANS[2], 5.0),
                (1.0, NANS[3]), (1.0, INF), (MAX, MAX), (SUB, -1.0), (-1e300, 1e300)]

REAL_1 = ["exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "sqrt", "abs",
          "floor", "ceil", "trunc", "round", "atan", "asin", "acos", "isnan", "isinf"]
REAL_2 = ["pow", "fmod", "atan2"]
COMPLEX = ["sin", "cos", "tan", "sinh", "cosh", "tanh", "abs", "abs_sqr"]
CANONICAL_NAN = {"exp", "log", "sin", "cos", "atan", "asin", "acos"}   # NaN in: 0x7FF8.., +0 out
NAN_KEPT = {"sinh", "cosh", "tanh", "abs"}                               # NaN in: the argument out


def check(got, want, what):
    """The module's result is the value layer's, as far as a Python object shows it."""
    if isinstance(got, bool):
        assert got == bool(want[0]), what
    elif isinstance(got, C):
        assert same(got.real(), *want[:2]) and same(got.imag(), *want[2:]), f"{what}: got {got} want {hx(*want)}"
    else:
        assert same(got, *want), f"{what}: got {got} want {hx(*want)}"


# ---- special-value sweep: no crash, the module agrees with the value layer ------
# The whole suite also runs under AddressSanitizer + UndefinedBehaviorSanitizer
# in CI, so this sweep is a sanitizer sweep as well.

@pytest.mark.parametrize("name", REAL_1)
def test_real_functions_on_every_operand(value_layer, name):
    for x in OPERANDS:
        want = value_layer(name, x)
        what = f"{name} {hx(*x)} -> {hx(*want)}"
        check(getattr(ostrell, name)(real(*x)), want, what)
        if name in ("isnan", "isinf") or not math.isnan(x[0]):
            continue
        assert math.isnan(want[0]), what
        if name in CANONICAL_NAN:
            assert (bits(want[0]), bits(want[1])) == (QNAN, 0), what
        if name in NAN_KEPT:
            assert list(map(bits, want)) == list(map(bits, x)), what


@pytest.mark.parametrize("name", REAL_2)
def test_two_argument_functions_on_every_combination(value_layer, name):
    f = getattr(ostrell, name)
    for x in OPERANDS:
        for y in OPERANDS:
            want = value_layer(name, x, y)
            what = f"{name} {hx(*x)} {hx(*y)} -> {hx(*want)}"
            check(f(real(*x), real(*y)), want, what)
            if name == "pow" and y[0] == 0.0:
                assert want == (1.0, 0.0), what                 # x^0 = 1, NaN included
            elif name == "pow" and x[0] == 0.0 and math.isnan(y[0]):
                assert (bits(want[0]), bits(want[1])) == (0, 0), what
            elif math.isnan(x[0]) or math.isnan(y[0]):
                assert math.isnan(want[0]), what
                if name == "atan2":
                    assert (bits(want[0]), bits(want[1])) == (QNAN, 0), what


def complex_operands():
    return [re + im for re in OPERANDS for im in OPERANDS]


@pytest.mark.parametrize("name", COMPLEX)
def test_complex_functions_on_every_combination(value_layer, name):
    f = getattr(ostrell, name)
    for z in complex_operands():
        want = value_layer("c." + name, z)
        check(f(cplx(*z)), want, f"{name} {hx(*z)} -> {hx(*want)}")


def test_operators_on_every_combination(value_layer):
    for x in OPERANDS:
        for y in OPERANDS:
            a, b = real(*x), real(*y)
            for r in (a + b, a - b, a * b, a / b, -a):
                assert type(r) is F
            assert [a < b, a <= b, a > b, a >= b] == ([False] * 4 if math.isnan(x[0]) or math.isnan(y[0]) else
                                                      [x < y, x <= y, x > y, x >= y]), hx(*x, *y)
    small = [(v, 0.0) for v in (0.0, -0.0, 1.0, -MAX, INF, -INF, NANS[1])]
    zs = [re + im for re in small for im in small]
    for z in zs:
        for w in zs:
            for name, op in (("add", operator.add), ("sub", operator.sub),
                             ("mul", operator.mul), ("div", operator.truediv)):
                check(op(cplx(*z), cplx(*w)), value_layer("c." + name, z, w), f"{name} {hx(*z)} {hx(*w)}")


def test_array_functions_on_every_combination_of_rows():
    rows = OPERANDS + UNNORMALISED
    a = np.array([x for x in rows for _ in rows])
    b = np.array([y for _ in rows for y in rows])
    for f in (ostrell.add_arrays, ostrell.sub_arrays, ostrell.mul_arrays, ostrell.div_arrays):
        r = f(a, b)
        assert r.shape == a.shape and r.flags.c_contiguous
        assert not np.may_share_memory(r, a) and not np.may_share_memory(r, b)


def test_unnormalised_pairs_reach_every_function_of_the_value_layer(value_layer):
    # Float128 arithmetic always normalises; the library itself must still
    # survive any pair a row or a byte image can hand it.
    ops = OPERANDS[:10] + UNNORMALISED
    for x in UNNORMALISED + [(1.0, 1e300), (1e18, -1e300)]:
        for name in REAL_1:
            r = value_layer(name, x)
            if name in ("sin", "cos"):       # no quadrant for an unreducible pair: NaN
                assert math.isnan(r[0]) or abs(r[0]) <= 1.0, f"{name} {hx(*x)} -> {hx(*r)}"
        for y in ops:
            for name in REAL_2:
                value_layer(name, x, y)
                value_layer(name, y, x)
            for name in COMPLEX:
                value_layer("c." + name, x + y)
                value_layer("c." + name, y + x)


# ---- the special results decided for this library ------------------------------

def assert_pair(got, want_hi, want_lo, what):
    assert (bits(got[0]), bits(got[1])) == (bits(want_hi), bits(want_lo)), f"{what}: got {hx(*got)}"


def test_decided_special_results(value_layer):
    def ref(name, *xs):
        """The value layer's bits; the module must show the same value."""
        want = value_layer(name, *[(x, 0.0) for x in xs])
        check(getattr(ostrell, name)(*[F(x) for x in xs]), want, f"{name} {hx(*xs)}")
        return want

    for n in NANS:
        assert_pair(ref("exp", n), from_bits(QNAN), 0.0, f"exp {hx(n)}")
    assert_pair(ref("log", 0.0), -INF, 0.0, "log +0")
    assert_pair(ref("log", -0.0), -INF, 0.0, "log -0")
    assert_pair(ref("log", INF), INF, 0.0, "log inf")
    assert_pair(ref("sqrt", INF), INF, 0.0, "sqrt inf")
    for name in ("floor", "ceil", "trunc", "round"):
        assert_pair(ref(name, INF), INF, 0.0, f"{name} inf")
        assert_pair(ref(name, -INF), -INF, 0.0, f"{name} -inf")
    # 1/e^x overflows in these ranges; the limits are returned, not NaN.
    for x in (-745.1332191019411, -745.0, -720.0, math.nextafter(-709.782712893384, -INF), -MAX):
        assert_pair(ref("sinh", x), -INF, 0.0, f"sinh {hx(x)}")
        assert_pair(ref("cosh", x), INF, 0.0, f"cosh {hx(x)}")
    assert math.isfinite(ref("sinh", -709.782712893384)[0])
    for x in (math.nextafter(691.4, INF), 700.0, 709.782712893384, MAX):
        assert_pair(ref("tanh", x), 1.0, 0.0, f"tanh {hx(x)}")
        assert_pair(ref("tanh", -x), -1.0, 0.0, f"tanh {hx(-x)}")
    r = ostrell.atan2(F(INF), F(-1.0))
    assert ostrell.abs(r - ostrell.pi / F(2.0)) < F(1e-31), f"atan2(inf, -1) = {r}"


@pytest.mark.parametrize("a, b", [(MAX, 0.5), (-MAX, 0.5), (MAX, -SUB), (1.0, SUB), (-4.0, SUB), (1e300, 1e-300)])
def test_division_overflow_is_a_signed_infinity(a, b):
    want = math.copysign(INF, a) * math.copysign(1.0, b)
    assert same(F(a) / F(b), want, 0.0), hx(a, b)
    row = ostrell.div_arrays(np.array([[a, 0.0]]), np.array([[b, 0.0]]))[0]
    assert_pair(row, want, 0.0, f"div_arrays {hx(a, b)}")


def test_sine_and_cosine_stay_within_one(value_layer):
    rng = random.Random(5)
    xs = [x for x, _ in OPERANDS if math.isfinite(x)]
    xs += [s * 2.0 ** rng.uniform(-20, 1023) for _ in range(300) for s in (1, -1)]
    xs += [9e18, 2.0 ** 63, 1e22, 2.0 ** 1023, math.pi / 2, 3 * math.pi / 2]
    for x in xs:
        for name in ("sin", "cos"):
            hi, lo = value_layer(name, (x, 0.0))
            assert abs(hi) < 1.0 or (abs(hi) == 1.0 and hi * lo <= 0.0), f"{name} {hx(x)} -> {hx(hi, lo)}"


# ---- memory stays flat ------------------------------------------------------------
# Three gauges: the resident set (/proc/self/statm), the bytes malloc has
# handed out (mallinfo2: C++ new, NumPy data, pybind11 bookkeeping) and the
# blocks of Python's small-object allocator.  Each workload runs once to warm
# the allocators, caches and free lists, then again to be measured.

_libc = ctypes.CDLL(None)


class _MallInfo2(ctypes.Structure):
    _fields_ = [(n, ctypes.c_size_t) for n in
                ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
                 "keepcost")]


def memory():
    gc.collect()                  # cycles left by exceptions and tracebacks
    with open("/proc/self/statm") as f:
        rss = int(f.read().split()[1]) * 4096
    heap = 0
    if hasattr(_libc, "mallinfo2"):
        _libc.mallinfo2.restype = _MallInfo2
        info = _libc.mallinfo2()
        heap = info.uordblks + info.hblkhd
    return rss, heap, sys.getallocatedblocks()


def under_asan():
    with open("/proc/self/maps") as f:
        return "libasan" in f.read()


# Smallest possible leak: one heap block (at least 32 bytes with its header)
# or one Python object per call: 32 MB or 10^6 blocks over 10^6 operations,
# 3 MB or 10^5 blocks over 10^5 failing calls, 320 KB and 10^4 blocks over
# 10^4 array calls.  The tolerances sit below that and above what stays
# allocated without a leak: pages the allocators keep after the warm-up
# (a few hundred KB at most), the bytes of a few cached objects, and
# Python's free lists of tuples, frames and dicts, which fill up to a few
# thousand blocks when the collector frees a batch of exception cycles.
RSS_SLACK, HEAP_SLACK, BLOCK_SLACK = 256 << 10, 16 << 10, 5000


def assert_flat(work, n):
    work(n // 4)
    before = memory()
    work(n)
    after = memory()
    growth = [b - a for a, b in zip(before, after)]
    what = f"{work.__name__}({n}): growth rss {growth[0]} B, heap {growth[1]} B, blocks {growth[2]}"
    if not under_asan():          # ASan's quarantine holds freed memory resident
        assert growth[0] <= RSS_SLACK, what
    assert growth[1] <= HEAP_SLACK, what
    assert growth[2] <= BLOCK_SLACK, what
    return growth


def scalar_operations(n):
    """n operations, 20 per round: Float128 and Complex128 arithmetic,
    functions, comparisons, text."""
    x, y = F("1.25"), F(3.0)
    z, w = C(0.5, -2.0), C(F("0.1"), F(7.0))
    for _ in range(n // 20):
        t = (x + y) * y / x - y
        t += x
        u = z * w / (z - w) + 1.5
        u *= z
        ostrell.exp(x), ostrell.sin(z), ostrell.abs(w), ostrell.atan2(x, y), ostrell.sqrt(y)
        t < x, -t
        str(t), repr(u), u.real(), C(t, x)


def array_calls(n):
    a = np.linspace(1.0, 2.0, 2000).reshape(1000, 2)
    b = a[::-1] * 3.0                                  # negative strides: the strided path
    small = [[1.0, 0.0], [2.0, 0.0]]                   # a list: converted on each call
    fs = (ostrell.add_arrays, ostrell.sub_arrays, ostrell.mul_arrays, ostrell.div_arrays)
    for i in range(n // 4):
        for f in fs:
            f(a, b) if i % 2 else f(small, small)


def error_paths(n):
    """n failing calls: the TypeErrors of bad operands, bad constructor and
    function arguments and unconvertible arrays, and the two RuntimeErrors."""
    x, z = F(1.0), C(1.0, 0.0)
    ok, wide, long = np.zeros((3, 2)), np.zeros((3, 3)), np.zeros((4, 2))
    cases = [
        (TypeError, lambda: x + 1.0), (TypeError, lambda: x < "a"), (TypeError, lambda: z + x),
        (TypeError, lambda: F([1.0])), (TypeError, lambda: F(1.0, 2.0)), (TypeError, lambda: C("z")),
        (TypeError, lambda: ostrell.exp(1.0)), (TypeError, lambda: ostrell.atan2(x, 2)),
        (TypeError, lambda: ostrell.add_arrays([["a", "b"]], ok)),
        (RuntimeError, lambda: ostrell.mul_arrays(wide, long)),
        (RuntimeError, lambda: ostrell.div_arrays(ok, long)),
    ]
    expect_raises(cases, n)


def expect_raises(cases, n):
    """n calls, cycling through cases of (exception class, call): each call
    must raise its exception."""
    for i in range(n):
        kind, call = cases[i % len(cases)]
        try:
            call()
        except kind:
            pass
        else:
            raise AssertionError(f"case {i % len(cases)} did not raise {kind.__name__}")


@pytest.mark.parametrize("work, n", [(scalar_operations, 10 ** 6), (array_calls, 10 ** 4), (error_paths, 10 ** 5)])
def test_memory_stays_flat(work, n):
    assert_flat(work, n)


# ---- threads ----------------------------------------------------------------------

SHARED = {"x": F("0.3"), "z": C(F("-1.5"), ostrell.e), "rows": np.random.default_rng(3).standard_normal((64, 2))}


def thread_work(seed):
    """Texts and exact parts of a chain of results computed from private
    values and the shared objects (which are only read)."""
    rng = random.Random(seed)
    out = []
    for _ in range(400):
        p = F(rng.uniform(-4, 4)) / F(3.0)
        p += SHARED["x"] * ostrell.pi
        q = ostrell.exp(ostrell.sin(p)) - ostrell.atan2(p, SHARED["x"])
        z = C(p, q) * SHARED["z"]
        w = ostrell.tanh(z) / SHARED["z"]
        rows = ostrell.div_arrays(ostrell.mul_arrays(SHARED["rows"], SHARED["rows"][::-1]), SHARED["rows"])
        out.append((str(q), repr(w), parts(q), parts(w.imag()), F(rng.uniform(-9, 9)).to_string(), rows.tobytes()))
    return out


def in_threads(run, args):
    """run(a) for every a in args, each in a thread of its own, switching
    between the threads as often as possible."""
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        threads = [threading.Thread(target=run, args=(a,)) for a in args]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(interval)


def test_threads_compute_what_one_thread_computes():
    seeds = range(6)
    alone = {s: thread_work(s) for s in seeds}
    together, barrier = {}, threading.Barrier(len(seeds))

    def run(s):
        barrier.wait()
        together[s] = thread_work(s)

    in_threads(run, seeds)
    for s in seeds:
        assert together[s] == alone[s], f"thread {s} differs"
    assert str(SHARED["x"]) == str(F("0.3"))
