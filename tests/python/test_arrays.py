"""add_arrays, sub_arrays, mul_arrays, div_arrays on (N, 2) float64 arrays."""
import operator
from fractions import Fraction

import mpmath
import numpy as np
import pytest
from hypothesis import assume, given, settings, strategies as st

import ostrell
from ostrell import Float128 as F

ARRAY_OPS = [
    (ostrell.add_arrays, operator.add),
    (ostrell.sub_arrays, operator.sub),
    (ostrell.mul_arrays, operator.mul),
    (ostrell.div_arrays, operator.truediv),
]
FUNCS = [f for f, _ in ARRAY_OPS]


def hx(arr):
    return " ".join(float.hex(float(v)) for v in np.ravel(arr))


def bits(arr):
    return np.ascontiguousarray(arr, dtype=np.float64).view(np.uint64)


def assert_same_bits(got, want, *inputs):
    assert np.array_equal(bits(got), bits(want)), \
        f"inputs {[hx(i) for i in inputs]}: got {hx(got)} want {hx(want)}"


def sample(n, seed=1):
    """Normalised rows spread over many binades, both signs."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) * np.exp2(rng.integers(-60, 60, n))
    lo = hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, n)
    return np.stack([hi, lo], axis=1)


# ---- shape checks, conversion, result layout -----------------------------------

@pytest.mark.parametrize("f", FUNCS)
@pytest.mark.parametrize("a, b, msg", [
    (np.zeros((3, 3)), np.zeros((4, 2)), "Inputs must have shape (N, 2)"),   # shape before length
    (np.zeros((3, 2)), np.zeros((4, 2)), "Input shapes must match"),
    (np.zeros(2), np.zeros((1, 2)), "Inputs must have shape (N, 2)"),
    ([1.0, 2.0], [1.0, 2.0], "Inputs must have shape (N, 2)"),
    (np.zeros((2, 2, 1)), np.zeros((2, 2, 1)), "Inputs must have shape (N, 2)"),
    (np.zeros((2, 2)), np.zeros((2, 2, 1)), "Inputs must have shape (N, 2)"),
    (np.zeros((2, 2)), np.float64(1.0), "Inputs must have shape (N, 2)"),
    (np.zeros((2, 1)), np.zeros((2, 1)), "Inputs must have shape (N, 2)"),
    (None, np.zeros((1, 2)), "Inputs must have shape (N, 2)"),       # converts to a 0-d NaN
])
def test_shape_errors(f, a, b, msg):
    with pytest.raises(RuntimeError) as info:
        f(a, b)
    assert str(info.value) == msg


@pytest.mark.parametrize("f", FUNCS)
@pytest.mark.parametrize("bad", [
    np.array([[object(), 1.0]], dtype=object),
    [[1.0, 2.0], [3.0]],                       # ragged
    [["x", "y"]],
])
def test_unconvertible_is_type_error(f, bad):
    with pytest.raises(TypeError):
        f(bad, np.zeros((1, 2)))
    with pytest.raises(TypeError):
        f(np.zeros((1, 2)), bad)


@pytest.mark.parametrize("f, op", ARRAY_OPS)
@pytest.mark.parametrize("convert", [
    lambda a: a.tolist(),
    lambda a: tuple(map(tuple, a.tolist())),
    lambda a: a.astype(np.int64),
    lambda a: a.astype(np.float32),
    lambda a: a.astype(">f8"),
    lambda a: a.astype(np.float16),
])
def test_array_likes_convert_to_float64(f, op, convert):
    a = np.array([[3.0, 0.0], [-7.0, 0.0], [12.0, 0.0]])
    b = np.array([[2.0, 0.0], [5.0, 0.0], [-4.0, 0.0]])
    want = f(np.asarray(convert(a), dtype=np.float64), np.asarray(convert(b), dtype=np.float64))
    assert_same_bits(f(convert(a), convert(b)), want, a, b)
    assert_same_bits(f(convert(a), b), f(np.asarray(convert(a), dtype=np.float64), b), a, b)


@pytest.mark.parametrize("f", FUNCS)
def test_result_is_new_row_major_float64(f):
    a, b = sample(5), sample(5, seed=2)
    a_copy, b_copy = a.copy(), b.copy()
    r = f(a, b)
    assert r.dtype == np.float64 and r.shape == (5, 2) and r.strides == (16, 8)
    assert r.flags.c_contiguous and r.flags.writeable and r.flags.owndata
    assert not np.shares_memory(r, a) and not np.shares_memory(r, b)
    assert_same_bits(a, a_copy) and assert_same_bits(b, b_copy)
    r2 = f(a, a)                 # one array as both operands is allowed and left alone
    assert_same_bits(a, a_copy)
    assert not np.shares_memory(r2, a)


@pytest.mark.parametrize("f", FUNCS)
def test_empty(f):
    r = f(np.zeros((0, 2)), np.zeros((0, 2)))
    assert r.shape == (0, 2) and r.dtype == np.float64


@pytest.mark.parametrize("f", FUNCS)
def test_read_only_and_broadcast_inputs(f):
    a, b = sample(4), sample(4, seed=3)
    want = f(a, b)
    a.flags.writeable = False
    b.flags.writeable = False
    assert_same_bits(f(a, b), want, a, b)
    row = np.broadcast_to(b[:1], (4, 2))                 # stride 0 along the rows
    assert_same_bits(f(a, row), f(a, np.repeat(b[:1], 4, axis=0)), a, b)


def views(a):
    """Non-contiguous float64 views of a with the same logical rows as a."""
    n = len(a)
    big = np.zeros((3 * n, 2))
    big[::3] = a
    wide = np.zeros((n, 5))
    wide[:, 1:5:2] = a
    fortran = np.asfortranarray(a)
    reversed_ = a[::-1].copy()[::-1]
    transposed = a.T.copy().T
    swapped = a[:, ::-1].copy()[:, ::-1]
    unaligned = np.frombuffer(b"\0" + a.tobytes(), dtype=np.float64, offset=1).reshape(n, 2)
    return [big[::3], wide[:, 1:5:2], fortran, reversed_, transposed, swapped, unaligned]


@pytest.mark.parametrize("f", FUNCS)
def test_non_contiguous_views_read_logical_elements(f):
    a, b = sample(7), sample(7, seed=4)
    want = f(a, b)
    for va in views(a):
        assert np.array_equal(va, a)
        assert_same_bits(f(va, b), want, a, b)
        for vb in views(b):
            assert_same_bits(f(va, vb), want, a, b)


@pytest.mark.parametrize("f", FUNCS)
def test_one_row_views(f):
    a, b = sample(1), sample(1, seed=5)
    want = f(a, b)
    assert_same_bits(f(a[:, ::-1][:, ::-1], b), want, a, b)
    assert_same_bits(f(np.zeros((4, 2))[:0], np.zeros((0, 2))), np.zeros((0, 2)))


def test_left_operand_is_the_first_argument():
    a = np.array([[1.0, 0.0]])
    b = np.array([[4.0, 0.0]])
    assert ostrell.sub_arrays(a, b)[0, 0] == -3.0
    assert ostrell.div_arrays(a, b)[0, 0] == 0.25


# ---- rows equal the scalar operations ------------------------------------------
# Second path: Float128 built from the row (hi + lo is a two-sum, exact for a
# normalised row), the Float128 operator, and the result row rebuilt the same
# way; equal values and equal texts (which carries the sign of zero).

def f128(row):
    hi, lo = float(row[0]), float(row[1])
    return F(hi) if lo == 0 else F(hi) + F(lo)


def normalised_row(hi, frac):
    lo = hi * frac * 2.0 ** -54 + 0.0     # a zero low part is +0, which F(hi) holds
    assume(hi + lo == hi)
    return [hi, lo]


magnitudes = st.floats(min_value=-1e150, max_value=1e150, allow_nan=False).filter(
    lambda v: v == 0 or abs(v) > 1e-140)
rows = st.builds(normalised_row, magnitudes, st.floats(-1, 1))


@given(st.lists(st.tuples(rows, rows), min_size=1, max_size=20))
@settings(max_examples=300)
def test_rows_match_float128(pairs):
    a = np.array([p[0] for p in pairs])
    b = np.array([p[1] for p in pairs])
    for f, op in ARRAY_OPS:
        r = f(a, b)
        for i in range(len(a)):
            want = op(f128(a[i]), f128(b[i]))
            got = f128(r[i])
            if str(want) == "nan":
                assert np.isnan(r[i, 0]), f"{f.__name__} {hx(a[i])} {hx(b[i])} -> {hx(r[i])}"
                continue
            assert got == want and str(got) == str(want), \
                f"{f.__name__} {hx(a[i])} {hx(b[i])} -> {hx(r[i])}, scalar {want}"


# Rows with a zero low part: add/sub give the exact two-sum and mul the exact
# product split, which Fraction arithmetic supplies independently.

def exact_split(x):
    hi = float(x)
    return [hi, float(x - Fraction(hi))]


doubles = st.floats(min_value=-1e150, max_value=1e150, allow_nan=False).filter(
    lambda v: v == 0 or abs(v) > 1e-140)


@given(doubles, doubles)
@settings(max_examples=500)
def test_exact_two_sum_and_product(x, y):
    a, b = np.array([[x, 0.0]]), np.array([[y, 0.0]])
    fx, fy = Fraction(x), Fraction(y)
    for f, exact in [(ostrell.add_arrays, fx + fy), (ostrell.sub_arrays, fx - fy),
                     (ostrell.mul_arrays, fx * fy)]:
        got = f(a, b)[0]
        want = exact_split(exact)
        assert got[0] == want[0] and got[1] == want[1], \
            f"{f.__name__} {hx(a)} {hx(b)} -> {hx(got)} want {hx(want)}"


# ---- C-contiguous rows (vector batch code) equal strided rows (scalar kernel) ------
# The batch functions must give the scalar kernel's bits on every row; the
# strided loop is the scalar kernel row by row, so a Fortran-ordered copy of
# the same rows is the reference.  A NaN part only has to be NaN in both.

def mixed_rows(n, seed):
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) * np.exp2(rng.integers(-1070, 1020, n))
    lo = hi * rng.uniform(-2.0 ** -53, 2.0 ** -53, n)
    rows = np.stack([hi, lo], axis=1)
    specials = np.array([0.0, -0.0, np.inf, -np.inf, np.nan, 1.7e308, -1.7e308, 5e-324, 1e300])
    pick = rng.random((n, 2)) < 0.02
    rows[pick] = rng.choice(specials, pick.sum())
    return rows


def assert_same_rows(got, want, a, b, name):
    g, w = bits(got), bits(want)
    both_nan = np.isnan(got) & np.isnan(want)
    bad = np.nonzero(((g != w) & ~both_nan).any(axis=1))[0]
    assert bad.size == 0, [f"{name} row {i}: {hx(a[i])} {hx(b[i])} -> {hx(got[i])}, scalar {hx(want[i])}"
                           for i in bad[:5]]


@pytest.mark.parametrize("f", FUNCS)
def test_contiguous_rows_equal_scalar_kernel_bits(f):
    for n, seed in [(5000, 1), (37, 2), (8, 3), (1, 4)]:
        a, b = mixed_rows(n, seed), mixed_rows(n, seed + 100)
        want = f(np.asfortranarray(a), np.asfortranarray(b))
        assert_same_rows(f(a, b), want, a, b, f.__name__)
        # one row (16 bytes) and one double (8 bytes) off any alignment
        buf = np.zeros(2 * n + 1)
        buf[1:] = a.ravel()
        a8 = buf[1:].reshape(n, 2)
        assert a8.flags.c_contiguous
        assert_same_rows(f(a8, b), want, a, b, f.__name__ + " (a 8-byte aligned)")
        if n > 1:
            assert_same_rows(f(a[1:], b[1:]), want[1:], a[1:], b[1:], f.__name__ + " (from row 1)")


# ---- special rows: whatever the scalar operation gives, loop does not stop --------

INF, NAN = float("inf"), float("nan")
QNAN_BITS = 0x7FF8000000000000


def test_special_rows():
    a = np.array([[1.0, 0.0], [0.0, 0.0], [INF, 0.0], [1e308, 0.0], [-1.0, 0.0], [2.0, 0.0]])
    b = np.array([[0.0, 0.0], [0.0, 0.0], [1.0, 0.0], [1e308, 0.0], [0.0, -0.0], [4.0, 0.0]])
    d = ostrell.div_arrays(a, b)
    assert d[0, 0] == INF and d[0, 1] == 0.0
    assert bits(d)[1, 0] == QNAN_BITS
    assert d[2, 0] == INF
    assert d[4, 0] == -INF
    assert d[5, 0] == 0.5 and d[5, 1] == 0.0
    s = ostrell.add_arrays(a, b)
    assert s[3, 0] == INF and bits(s)[3, 1] == 0      # overflow: (inf, +0)
    m = ostrell.mul_arrays(a, b)
    assert m[3, 0] == INF and bits(m)[3, 1] == 0
    assert m[5, 0] == 8.0


def test_overflow_in_the_renormalisation_is_inf_plus_zero():
    # the float128 maximum + 1e286: s finite, s + err infinite; (inf, -inf) before
    top = np.array([[1.7976931348623157e308, float.fromhex("0x1.fffffffffffffp+969")]])
    big = np.array([[1e286, 0.0]])
    m = F(top[0, 0]) + F(top[0, 1])
    for r in (m + F(1e286), m - F(-1e286), -m - F(1e286)):
        assert ostrell.isinf(r) and not ostrell.isnan(r)
    # every block position of the batch paths, and the scalar tail
    n = 37
    for i in (0, 8, 36):
        a, b = np.tile([1.5, 0.0], (n, 1)), np.tile([0.25, 0.0], (n, 1))
        a[i], b[i] = top[0], big[0]
        for f, y in ((ostrell.add_arrays, b), (ostrell.sub_arrays, -b)):
            r = f(a, y)
            assert r[i, 0] == INF and bits(r)[i, 1] == 0, (f.__name__, i, hx(r[i]))
        b[i] = [1.0, 2.0 ** -53]
        r = ostrell.mul_arrays(a, b)
        assert r[i, 0] == INF and bits(r)[i, 1] == 0, ("mul", i, hx(r[i]))


def test_unnormalised_rows_are_used_unchanged():
    # (1, 1) is not renormalised first: two-sum of the high parts, then the low parts
    r = ostrell.add_arrays(np.array([[1.0, 1.0]]), np.array([[0.0, 0.0]]))
    assert r[0].tolist() == [2.0, 0.0]
    r = ostrell.mul_arrays(np.array([[1.0, 1.0]]), np.array([[3.0, 0.0]]))
    assert r[0].tolist() == [6.0, 0.0]


# ---- accuracy against mpmath, in units of 2^-104 relative ------------------------

def err_units(row, exact):
    got = mpmath.mpf(float(row[0])) + mpmath.mpf(float(row[1]))
    return abs(got - exact) / abs(exact) * mpmath.mpf(2) ** 104


# The addition adds the low parts after the two-sum of the high parts, so its
# error is relative to the operands: under heavy cancellation it grows without
# bound (about 2^-104 * |a| / |a - b|).  Rows here keep |a - b| >= |a| / 3.
@pytest.mark.parametrize("f, op, bound", [
    (ostrell.add_arrays, operator.add, 2),
    (ostrell.sub_arrays, operator.sub, 2),
    (ostrell.mul_arrays, operator.mul, 2),
    (ostrell.div_arrays, operator.truediv, 4),
])
def test_accuracy(f, op, bound):
    a, b = sample(20000, seed=7), sample(20000, seed=8)
    if f is ostrell.sub_arrays:           # like signs, |b| at least 1.5 |a|
        scale = np.random.default_rng(9).uniform(1.5, 4.0, (len(a), 1))
        b_hi = a[:, 0] * scale[:, 0]
        b = np.stack([b_hi, b_hi * 2.0 ** -60], axis=1)
    elif f is ostrell.add_arrays:         # like signs
        b = np.copysign(b, a[:, :1])
    r = f(a, b)
    worst = 0
    with mpmath.workprec(300):
        for i in range(len(a)):
            exact = op(mpmath.mpf(a[i, 0]) + mpmath.mpf(a[i, 1]), mpmath.mpf(b[i, 0]) + mpmath.mpf(b[i, 1]))
            e = err_units(r[i], exact)
            worst = max(worst, e)
            assert e <= bound, f"{f.__name__} {hx(a[i])} {hx(b[i])} -> {hx(r[i])}: {e} units"
    print(f"{f.__name__}: max error {float(worst):.3f} units of 2^-104")
