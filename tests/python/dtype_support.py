"""Shared helpers of the dtype tests: rows of special and random values,
the memory layouts every loop must handle, and bit comparisons that print
the offending inputs in hex."""
import numpy as np

import ostrell_numpy as on

DT = on.float128_dtype

# (hi, lo) pairs: zeros, ones, halves, infinities, NaN, extremes, subnormals,
# a rounded pi, and an unnormalised pair (|lo| > ulp(hi) / 2).
SPECIAL = [
    (0.0, 0.0), (-0.0, 0.0), (1.0, 0.0), (-1.0, 0.0), (0.5, 1e-17), (-2.5, -1e-16),
    (float("inf"), 0.0), (float("-inf"), 0.0), (float("nan"), 0.0),
    (1e300, 1e283), (-1e-300, 0.0), (5e-324, 0.0), (2.2250738585072014e-308, 0.0),
    (3.141592653589793, 1.2246467991473532e-16), (1.0, 1.0), (0.7, -0.3),
    (700.0, 0.0), (-745.0, 0.0), (2.0 ** 53 + 2, 1.0), (1e-20, 1e-37),
]


def rows_of(pairs):
    return np.array(pairs, dtype=np.float64).reshape(-1, 2)


def mixed_rows(n, seed=0):
    """n rows: the special pairs, then normalised random ones of several scales."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) * 10.0 ** rng.integers(-5, 5, n)
    lo = hi * rng.uniform(-1, 1, n) * 2.0 ** -54
    rows = np.stack([hi + lo, 0.0 * hi], axis=1)
    rows[:, 1] = (hi - rows[:, 0]) + lo  # the rounding error: a normalised pair
    k = min(n, len(SPECIAL))
    rows[:k] = rows_of(SPECIAL)[:k]
    return rows


def hexrow(r):
    return "(" + ", ".join(f"0x{int(b):016X}" for b in np.asarray(r, np.float64).view(np.uint64)) + ")"


def bits(rows):
    return np.ascontiguousarray(rows, dtype=np.float64).view(np.uint64)


def assert_rows_equal(got, want, *inputs):
    """got, want: (N, 2) rows; inputs: (N, 2) operand rows shown on failure."""
    g, w = bits(got), bits(want)
    # Bits must match, except that a NaN need only be a NaN in the same part.
    nan_g, nan_w = np.isnan(got), np.isnan(want)
    bad = np.nonzero(((g != w) & ~(nan_g & nan_w)).any(axis=-1) | (nan_g != nan_w).any(axis=-1))[0]
    if bad.size:
        i = bad[0]
        ops = " ".join(hexrow(x[i]) for x in inputs)
        raise AssertionError(f"{bad.size} rows differ; first row {i}: inputs {ops} got {hexrow(got[i])} "
                             f"want {hexrow(want[i])}")


def layouts(rows):
    """(name, array of the dtype) with the values of rows in each layout the
    loops meet: contiguous, strided, reversed, 8-byte offset."""
    n = len(rows)
    yield "contiguous", on.as_float128(rows.copy())
    wide = np.zeros((3 * n, 2))
    wide[::3] = rows
    yield "strided", on.as_float128(wide)[::3]
    yield "reversed", on.as_float128(rows[::-1].copy())[::-1]
    buf = np.zeros(16 * n + 8, dtype=np.uint8)[8:]
    off = buf.view(DT)
    off[:] = on.as_float128(rows.copy())
    yield "offset8", off[:]  # 8-byte aligned, not 16


def as_rows(a):
    return np.ascontiguousarray(on.as_rows(np.ascontiguousarray(a)))
