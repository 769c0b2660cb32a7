"""Workloads for the companion's concurrency and memory checks, shared by
test_numpy_threads.py and a long run from the command line:

    python tests/python/companion_stress.py [calls per kind, default 10**6]

prints the memory growth over that many calls of each kind (after a warm-up
of a tenth as many), the error paths included."""
import sys

import numpy as np

import ostrell_numpy as on
from test_robustness import expect_raises, memory

# Above the row count from which the companion releases the GIL.
GIL_FREE_ROWS = 3000


def shared_rows(seed, n=GIL_FREE_ROWS):
    """(n, 2) rows of moderate values with low parts, some infinities, NaNs,
    zeros, subnormals and unnormalised pairs among them; read-only."""
    rng = np.random.default_rng(seed)
    hi = rng.standard_normal(n) * np.exp2(rng.integers(-8, 9, n))
    rows = np.column_stack([hi, hi * rng.uniform(-2.0 ** -53, 2.0 ** -53, n)])
    edges = [[np.nan, 0.0], [np.inf, 0.0], [-np.inf, 0.0], [0.0, 0.0], [-0.0, 0.0], [5e-324, 0.0],
             [1.7976931348623157e308, 0.0], [1.0, 1.0], [2.0, np.nan], [-1.0, 1e-300]]
    rows[rng.choice(n, len(edges), replace=False)] = edges
    rows.flags.writeable = False
    return rows


A, B = shared_rows(1), shared_rows(2)
VALUES = np.ascontiguousarray(A[:, 0])
VALUES.flags.writeable = False
UNARY = ["sqrt", "exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "atan", "asin", "acos",
         "floor", "ceil", "trunc", "round", "to_float64", "sum"]
BINARY = ["add", "sub", "mul", "div", "pow", "atan2", "fmod", "dot"]


# The dtype's ufunc loops (NumPy runs them without the GIL) on views of the
# same rows, contiguous and strided (gathered in blocks), and its sum.
FA, FB = on.as_float128(A), on.as_float128(B)
DTYPE_UNARY = ["sqrt", "exp", "log", "sin", "cos", "tan", "sinh", "cosh", "tanh", "arctan", "arcsin", "arccos",
               "floor", "ceil", "trunc", "negative", "absolute", "square", "reciprocal"]
DTYPE_BINARY = ["add", "subtract", "multiply", "divide", "power", "arctan2", "fmod", "maximum", "fmin"]


def dtype_calls():
    out = [on.as_rows(getattr(np, name)(FA)) for name in DTYPE_UNARY]
    out += [on.as_rows(getattr(np, name)(FA, FB)) for name in DTYPE_BINARY]
    out += [on.as_rows(np.multiply(FA[::-1], FB[::2].repeat(2))), np.less(FA, FB),
            np.isnan(FA), on.to_rows([np.sum(FA)])]
    return out


CALL_NAMES = (UNARY + BINARY + ["sincos (sine)", "sincos (cosine)", "from_float64", "sum_float64"]
              + [f"np.{name} (dtype)" for name in DTYPE_UNARY + DTYPE_BINARY]
              + ["np.multiply strided (dtype)", "np.less (dtype)", "np.isnan (dtype)", "np.sum (dtype)"])


def every_gil_free_call():
    """The results (arrays) of every function that runs without the GIL, on the shared inputs."""
    out = [getattr(on, name)(A) for name in UNARY]
    out += [getattr(on, name)(A, B) for name in BINARY]
    out += list(on.sincos(A))
    out += [on.from_float64(VALUES), on.sum_float64(VALUES)]
    return out + dtype_calls()


# ---- the kinds of calls the memory check repeats --------------------------------

SMALL = np.array([[1.5, 0.0], [2.0, 1e-17]])
RAGGED = [[1.0, 0.0], [2.0]]


def gil_free_elementwise(n):
    calls = (lambda: on.add(A, B), lambda: on.mul(A, B), lambda: on.exp(A), lambda: on.sin(A))
    for i in range(n):
        calls[i % 4]()


def gil_free_reductions(n):
    calls = (lambda: on.sum(A), lambda: on.dot(A, B), lambda: on.sum_float64(VALUES))
    for i in range(n):
        calls[i % 3]()


def small_calls(n):
    """Calls below the GIL-free size, converting a list or an array each time."""
    lst = SMALL.tolist()
    calls = (lambda: on.exp(SMALL), lambda: on.add(lst, SMALL), lambda: on.to_strings(SMALL))
    for i in range(n):
        calls[i % 3]()


def error_calls(n):
    """Failing calls: shape errors and NumPy's conversion errors."""
    wide = np.zeros((3, 3))
    cases = [(RuntimeError, lambda: on.exp(wide)), (RuntimeError, lambda: on.add(SMALL, A)),
             (ValueError, lambda: on.sqrt(RAGGED)), (TypeError, lambda: on.sum(object())),
             (ValueError, lambda: on.dot(SMALL, [["x", "y"]]))]
    expect_raises(cases, n)


def dtype_loops(n):
    calls = (lambda: np.add(FA, FB), lambda: np.exp(FA), lambda: np.multiply(FA[::-1], FB[::-1]),
             lambda: np.sum(FA), lambda: np.less(FA, FB))
    for i in range(n):
        calls[i % 5]()


def dtype_errors(n):
    """Failing dtype operations: a complex operand, an element that is no number."""
    a = np.ones(2, FA.dtype)
    cases = [(TypeError, lambda: np.add(FA[:2], 1j)), (ValueError, lambda: a.__setitem__(0, "x")),
             (TypeError, lambda: np.log1p(FA[:2]))]
    expect_raises(cases, n)


KINDS = [gil_free_elementwise, gil_free_reductions, small_calls, error_calls, dtype_loops, dtype_errors]


def main(calls):
    for work in KINDS:
        work(calls // 10)
        before = memory()
        work(calls)
        after = memory()
        print(f"{work.__name__}: {calls} calls, growth rss {after[0] - before[0]} B, "
              f"heap {after[1] - before[1]} B, blocks {after[2] - before[2]}", flush=True)


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 10 ** 6)
