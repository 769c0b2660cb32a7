"""ostrell_numpy: element-wise functions against the scalar functions bit for
bit, conversions that round-trip bit for bit, sums against exact Fraction
sums, and errors for bad input."""
import math
import struct
from fractions import Fraction

import numpy as np
import pytest

import ostrell
import ostrell_numpy as onp
from ostrell import Float128 as F

UNARY = ["sqrt", "exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "atan", "asin",
         "acos", "floor", "ceil", "trunc", "round"]
BINARY = ["pow", "atan2", "fmod", "add", "sub", "mul", "div"]
OPERATORS = {"add": lambda a, b: a + b, "sub": lambda a, b: a - b,
             "mul": lambda a, b: a * b, "div": lambda a, b: a / b}
ROW_FUNCS = UNARY + BINARY + ["sincos", "from_rows", "to_float64", "to_strings", "sum", "dot"]


def bits(a):
    return np.ascontiguousarray(a, dtype=np.float64).view(np.uint64)


def hx(rows):
    return " ".join(f"({struct.unpack('<Q', struct.pack('<d', h))[0]:#018x}, "
                    f"{struct.unpack('<Q', struct.pack('<d', l))[0]:#018x})"
                    for h, l in np.asarray(rows, dtype=np.float64).reshape(-1, 2).tolist())


def assert_rows_equal(got, want, *inputs):
    """Same bits in every part, except that a NaN part only has to be a NaN in
    the same part (the sign and payload of a NaN made inside the formulas are
    not fixed)."""
    got, want = np.asarray(got).reshape(-1, 2), np.asarray(want).reshape(-1, 2)
    nan = np.isnan(got)
    bad = ((nan != np.isnan(want)) | (~nan & (bits(got) != bits(want)))).any(axis=1)
    if bad.any():
        i = np.flatnonzero(bad)[:5]
        ins = "; ".join(hx(np.asarray(x)[i]) for x in inputs)
        pytest.fail(f"rows {i.tolist()}: inputs {ins}: got {hx(got[i])} want {hx(want[i])}")


def normalised(hi, rng):
    lo = hi * rng.uniform(-2.0 ** -54, 2.0 ** -54, len(hi))
    s = hi + lo
    return np.stack([s, lo - (s - hi)], axis=1)


SPECIAL_HI = [0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 2.0, 1e-300, -1e-300, 5e-324, 1e300, -1e300,
              709.7, -745.0, 1e22, math.pi / 2, math.pi, 1.0 - 2 ** -53, math.inf, -math.inf,
              math.nan]


def sample(n, seed):
    """Random normalised rows over many binades (both signs), rows in (-2, 2)
    where asin, acos and the rounding functions change branch, and special
    values with and without a low part, plus unnormalised pairs."""
    rng = np.random.default_rng(seed)
    wide = normalised(rng.standard_normal(n) * np.exp2(rng.integers(-40, 12, n)), rng)
    near = normalised(rng.uniform(-2.0, 2.0, n // 4), rng)
    halves = np.stack([rng.integers(-20, 20, n // 8) + 0.5, rng.choice([0.0, 1e-20, -1e-20], n // 8)], 1)
    special = [[h, 0.0] for h in SPECIAL_HI] + [[1.0, 2 ** -60], [1.0, -2 ** -60], [-0.0, 5e-324],
                                               [1.0, 1.0], [0.0, -1e-300], [1e300, 1e290]]
    return np.concatenate([wide, near, halves, np.array(special)])


def scalar_rows(name, *args):
    """The scalar ostrell function row by row over Float128 objects."""
    f = OPERATORS.get(name) or getattr(ostrell, name)
    return onp.to_rows(f(*xs) for xs in zip(*map(onp.from_rows, args)))


# ---- element-wise functions ------------------------------------------------------

@pytest.mark.parametrize("isa", ["sse2", "avx2", "avx512"])
def test_arithmetic_on_every_path_has_nan_in_the_same_parts(isa):
    # every path, C- and Fortran-ordered operands (a copy at another
    # alignment), against the scalar operators: the same bits, or NaN in the
    # same parts (a NaN's sign and payload follow the operand order)
    s = sample(0, 4)
    a = np.concatenate([sample(500, 2), np.repeat(s, len(s), axis=0)])
    b = np.concatenate([sample(500, 3), np.tile(s, (len(s), 1))])
    try:
        onp._force_isa(isa)
    except ValueError:
        pytest.skip(f"this CPU has no {isa} path")
    try:
        for name in OPERATORS:
            want = scalar_rows(name, a, b)
            for x, y in ((a, b), (np.asfortranarray(a), np.asfortranarray(b[::-1])[::-1])):
                got = getattr(onp, name)(x, y)
                nan = np.isnan(got)
                bad = (nan != np.isnan(want)) | (~nan & (bits(got) != bits(want)))
                assert not bad.any(), (isa, name, hx(a[bad.any(axis=1)][:3]), hx(b[bad.any(axis=1)][:3]))
    finally:
        onp._force_isa(None)


@pytest.mark.parametrize("name", UNARY)
def test_unary_matches_scalar_bits(name):
    x = sample(3000, 1)
    assert_rows_equal(getattr(onp, name)(x), scalar_rows(name, x), x)


@pytest.mark.parametrize("name", BINARY)
def test_binary_matches_scalar_bits(name):
    a, b = sample(3000, 2), sample(3000, 3)
    # special values against each other too
    s = sample(0, 4)
    a = np.concatenate([a, np.repeat(s, len(s), axis=0)])
    b = np.concatenate([b, np.tile(s, (len(s), 1))])
    assert_rows_equal(getattr(onp, name)(a, b), scalar_rows(name, a, b), a, b)


def test_sincos_matches_sin_and_cos():
    x = sample(3000, 5)
    s, c = onp.sincos(x)
    assert_rows_equal(s, scalar_rows("sin", x), x)
    assert_rows_equal(c, scalar_rows("cos", x), x)


@pytest.mark.parametrize("layout", [
    lambda a: a[::2], lambda a: a[::-1], lambda a: np.asfortranarray(a),
    lambda a: a.T.copy().T, lambda a: np.clip(a, -1e30, 1e30).astype(np.float32), lambda a: a.tolist(),
])
def test_any_layout_gives_the_rows_of_its_contiguous_copy(layout):
    x = sample(500, 6)
    y = layout(x)
    want = np.ascontiguousarray(y, dtype=np.float64)
    assert_rows_equal(onp.exp(y), onp.exp(want), want)
    assert_rows_equal(onp.pow(y, y), onp.pow(want, want), want)
    assert_rows_equal(onp.sum(y), onp.sum(want))  # a NaN sum: its bits are not fixed


# ---- conversions -------------------------------------------------------------------

def awkward_pairs():
    """NaN (quiet, signalling payload, negative), infinities, zeros and
    unnormalised pairs, as raw bits."""
    pats = [0x7FF8000000000000, 0x7FF0000000000001, 0xFFF8000000000123, 0x7FF0000000000000,
            0xFFF0000000000000, 0x0000000000000000, 0x8000000000000000, 0x0000000000000001,
            0x3FF0000000000000, 0xBFF0000000000000, 0x7FEFFFFFFFFFFFFF, 0x4340000000000000]
    rows = [[h, l] for h in pats for l in pats]
    rng = np.random.default_rng(8)
    rows += rng.integers(0, 2 ** 64, (200, 2), dtype=np.uint64).tolist()
    return np.array(rows, dtype=np.uint64).view(np.float64)


def test_rows_to_float128_and_back_bit_for_bit():
    x = np.concatenate([awkward_pairs(), sample(1000, 9)])
    values = onp.from_rows(x)
    assert all(type(v) is F for v in values)
    back = onp.to_rows(values)
    assert np.array_equal(bits(back), bits(x)), hx(x[(bits(back) != bits(x)).any(axis=1)][:5])


def test_complex_rows_to_complex128_and_back_bit_for_bit():
    x = awkward_pairs().reshape(-1, 4)
    values = onp.from_complex_rows(x)
    assert all(type(v) is ostrell.Complex128 for v in values)
    assert np.array_equal(bits(onp.to_complex_rows(values)), bits(x))
    z = ostrell.Complex128(F(1) / F(3), -ostrell.pi)
    assert np.array_equal(bits(onp.to_complex_rows([z])), bits(onp.to_rows([z.real(), z.imag()]).reshape(1, 4)))
    with pytest.raises(RuntimeError, match=r"^Input must have shape \(N, 4\)$"):
        onp.from_complex_rows(np.zeros((2, 2)))
    with pytest.raises(TypeError, match="Complex128"):
        onp.to_complex_rows([F(1)])


def test_float128_objects_to_rows_and_back():
    values = [F(1) / F(3), -ostrell.pi, ostrell.exp(F(100)), F(), -F(), F("1e-310"), F("nan")]
    rows = onp.to_rows(iter(values))                      # any iterable
    again = onp.from_rows(rows)
    for v, w in zip(values, again):
        assert str(v) == str(w) and (v == w or str(v) == "nan")
    assert math.copysign(1.0, rows[4, 0]) == -1.0
    assert onp.to_rows([]).shape == (0, 2)


def test_from_rows_gives_the_value_of_the_pair():
    x = sample(300, 10)
    x = x[np.isfinite(x[:, 0])]
    for (h, l), v in zip(x.tolist(), onp.from_rows(x)):
        if abs(h + l) == abs(h) and h != 0.0:         # normalised: the exact sum of its parts
            want = F(h) + F(l)
            assert v == want and str(v) == str(want), hx([[h, l]])


def test_float64_values_become_exact_rows():
    v = np.array([1.0, -0.0, 0.1, 5e-324, -1e308, math.inf, -math.inf, math.nan])
    rows = onp.from_float64(v)
    assert np.array_equal(bits(rows[:, 0]), bits(v))
    assert np.array_equal(bits(rows[:, 1]), np.zeros(len(v), np.uint64))
    assert np.array_equal(bits(onp.to_float64(rows)), bits(v))


def test_rows_to_nearest_float64():
    rng = np.random.default_rng(11)
    x = np.concatenate([sample(1000, 12), rng.standard_normal((1000, 2)) * np.exp2(rng.integers(-30, 30, (1000, 2)))])
    got = onp.to_float64(x)
    for (h, l), g in zip(x.tolist(), got.tolist()):
        if math.isfinite(h) and math.isfinite(l):
            want = float(Fraction(h) + Fraction(l))          # correctly rounded
            assert struct.pack("<d", g) == struct.pack("<d", want) or (want == 0.0 == g), hx([[h, l]])
        else:
            assert math.isnan(g) if math.isnan(h + l) else g == h + l


def test_overflowing_sums_are_inf_plus_zero():
    # the float128 maximum + 1e286 (and - -1e286): (inf, +0), so its float64 is inf, not NaN
    top = np.array([[1.7976931348623157e308, float.fromhex("0x1.fffffffffffffp+969")]])
    m = onp.from_rows(top)[0]
    for r in (m + F(1e286), m - F(-1e286)):
        assert bits(onp.to_rows([r])).tolist() == [[0x7FF0000000000000, 0]]
    rows = np.repeat(top, 20, axis=0)
    for s in (onp.add(rows, np.tile([1e286, 0.0], (20, 1))), onp.sub(rows, np.tile([-1e286, 0.0], (20, 1)))):
        assert np.all(onp.to_float64(s) == np.inf) and not bits(s[:, 1]).any()


def test_text_is_the_formatter_and_the_parser():
    x = sample(300, 13)
    texts = onp.to_strings(x)
    assert texts == [str(v) for v in onp.from_rows(x)]
    assert_rows_equal(onp.from_strings(texts), onp.to_rows(F(t) for t in texts), x)
    assert_rows_equal(onp.from_strings([b"0.1", "abc", "-inf"]), onp.to_rows([F("0.1"), F(), F("-inf")]))


def test_text_round_trip_where_the_digits_are_exact():
    # Integers below 10^15 print in fixed notation with every digit, and the
    # parser reads them and a fraction .5 exactly.  Elsewhere the text is not
    # lossless: digits are truncated, scientific notation scales by binary64
    # powers of ten, and the parser adds fraction digits one by one in
    # double-double ("0.125" reads as 0.125 - 2^-110).
    rng = np.random.default_rng(14)
    ints = rng.integers(-10 ** 15 + 1, 10 ** 15, 500).astype(np.float64)
    fracs = rng.integers(-2 ** 40, 2 ** 40, 500) / 2.0
    x = onp.from_float64(np.concatenate([ints, fracs, [0.0, 1.0]]))
    assert_rows_equal(onp.from_strings(onp.to_strings(x)), x, x)


# ---- reductions ----------------------------------------------------------------------

U = Fraction(1, 2 ** 53)


def exact(values):
    return sum((Fraction(v) for v in values), Fraction(0))


def bound(n, abs_sum):
    """The documented error bound: (3 m + 48) u^2 sum |x|, m = ceil(n / 16)."""
    m = -(-n // 16)
    return (3 * m + 48) * U * U * abs_sum


def cancelling(n, rng):
    """Terms over 2^[-60, 60] whose sum cancels to about 2^-40 of the
    largest: each term appears with both signs, perturbed, in random order."""
    x = rng.standard_normal(n // 2) * np.exp2(rng.integers(-60, 60, n // 2))
    y = np.concatenate([x, -x * (1 + rng.uniform(-2.0 ** -40, 2.0 ** -40, n // 2)), rng.standard_normal(n % 2)])
    rng.shuffle(y)
    return y


def check_sum(row, want, abs_sum, n, *, extra=Fraction(0)):
    h, l = (float(v) for v in row)
    err = abs(Fraction(h) + Fraction(l) - want)
    assert err <= bound(n, abs_sum) + extra, (hx([row]), float(err), float(want))


@pytest.mark.parametrize("n", [1, 17, 1000, 20001])
def test_sums_on_cancelling_data(n):
    rng = np.random.default_rng(n)
    x = cancelling(n, rng)
    check_sum(onp.sum_float64(x), exact(x.tolist()), exact(abs(x).tolist()), n)
    rows = normalised(x, rng)
    check_sum(onp.sum(rows), exact(rows.ravel().tolist()), exact(np.abs(rows).ravel().tolist()), n)
    b = normalised(rng.uniform(0.5, 2.0, n), rng)
    products = [(Fraction(ah) + Fraction(al)) * (Fraction(bh) + Fraction(bl))
                for (ah, al), (bh, bl) in zip(rows.tolist(), b.tolist())]
    abs_sum = sum(abs(p) for p in products)
    # plus the product's own error, at most 4 u^2 of each product
    check_sum(onp.dot(rows, b), sum(products), abs_sum, n, extra=4 * U * U * abs_sum)


def test_sums_beat_the_sequential_loop_and_add_integers_exactly():
    # on cancelling terms, against s = s + x[i] (and s = s + x[i] * y[i]) in
    # Float128: no larger error beyond the rounding of the result itself
    rng = np.random.default_rng(19)
    rows = normalised(cancelling(20001, rng), rng)
    b = normalised(rng.uniform(0.5, 2.0, 20001), rng)
    a128, b128 = onp.from_rows(rows), onp.from_rows(b)
    seq_sum, seq_dot = F(0), F(0)
    for x, y in zip(a128, b128):
        seq_sum, seq_dot = seq_sum + x, seq_dot + x * y
    products = onp.to_rows([x * y for x, y in zip(a128, b128)])
    for got, seq, terms in ((onp.sum(rows), seq_sum, rows), (onp.dot(rows, b), seq_dot, products)):
        want = exact(terms.ravel().tolist())
        err = abs(exact(got.tolist()) - want)
        assert err <= abs(exact(onp.to_rows([seq])[0].tolist()) - want) + U * U * abs(want), hx([got])
        assert err <= bound(20001, exact(np.abs(terms).ravel().tolist()))
    # integers up to 2^80, each an exact (hi, lo) pair: no step rounds
    ints = [int(v) for v in rng.integers(-2 ** 62, 2 ** 62, 3000)]
    ints = [v * 2 ** 18 + 12345 for v in ints]
    hi = [float(v) for v in ints]
    pairs = np.array([[h, float(v - int(h))] for h, v in zip(hi, ints)])
    assert exact(onp.sum(pairs).tolist()) == sum(ints)


def test_sums_exact_and_special():
    # (the kernels' special cases are tested per path in C++)
    x = np.array([1e16, 1.0, -1e16, 3.0, 2.0 ** -60])
    assert onp.sum_float64(x).tolist() == [4.0, 2.0 ** -60]
    assert onp.sum(onp.from_float64(x)).tolist() == [4.0, 2.0 ** -60]
    assert onp.sum_float64([]).tolist() == [0.0, 0.0]
    assert onp.sum_float64([1.0, math.inf]).tolist() == [math.inf, 0.0]
    assert math.isnan(onp.sum([[1.0, 0.0], [2.0, math.nan]])[0])
    assert math.isnan(onp.dot([[math.inf, 0.0]], [[0.0, 0.0]])[0])


# ---- errors --------------------------------------------------------------------------

def call(name, *args):
    f = getattr(onp, name)
    return f(*args[:2]) if name in BINARY or name == "dot" else f(args[0])


@pytest.mark.parametrize("name", ROW_FUNCS)
@pytest.mark.parametrize("a, b, msg", [
    (np.zeros((3, 3)), np.zeros((3, 2)), "Inputs must have shape (N, 2)"),
    (np.zeros(2), np.zeros((1, 2)), "Inputs must have shape (N, 2)"),
    (np.zeros((2, 2, 1)), np.zeros((2, 2, 1)), "Inputs must have shape (N, 2)"),
    (None, np.zeros((1, 2)), "Inputs must have shape (N, 2)"),
])
def test_shape_errors(name, a, b, msg):
    with pytest.raises(RuntimeError) as info:
        call(name, a, b)
    assert str(info.value) == msg


@pytest.mark.parametrize("name", BINARY + ["dot"])
def test_length_mismatch(name):
    with pytest.raises(RuntimeError, match=r"^Input shapes must match$"):
        call(name, np.zeros((3, 2)), np.zeros((4, 2)))
    with pytest.raises(RuntimeError, match=r"^Inputs must have shape \(N, 2\)$"):
        call(name, np.zeros((3, 2)), np.zeros((4, 3)))


@pytest.mark.parametrize("name", ["from_float64", "sum_float64"])
@pytest.mark.parametrize("bad", [np.zeros((2, 2)), 1.0, None])
def test_value_arrays_must_be_one_dimensional(name, bad):
    with pytest.raises(RuntimeError, match=r"^Input must have shape \(N,\)$"):
        getattr(onp, name)(bad)


@pytest.mark.parametrize("name", ROW_FUNCS + ["from_float64", "sum_float64"])
def test_unconvertible_is_numpys_error(name):
    # NumPy's own conversion error: TypeError for an object that is no
    # number, ValueError for ragged nesting or text that is no number.
    for bad, kind in ((np.array([[object(), 1.0]], dtype=object), TypeError), ([[1.0, 2.0], [3.0]], ValueError),
                      ([["x", "y"]], ValueError)):
        with pytest.raises(kind):
            call(name, bad, bad)


def test_conversion_item_errors():
    with pytest.raises(TypeError, match="Float128"):
        onp.to_rows([F(1), 1.0])
    with pytest.raises(TypeError):
        onp.to_rows(F(1))                                    # not iterable
    with pytest.raises(TypeError, match="str or bytes"):
        onp.from_strings(["1", 2])
