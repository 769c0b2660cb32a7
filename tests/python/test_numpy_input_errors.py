"""The companion's array arguments are converted by NumPy, whose own error
reaches the caller: MemoryError, ValueError for ragged input, TypeError
naming what does not convert, for the first argument and the second alike."""
import numpy as np
import pytest

import ostrell_numpy as on

OK = np.array([[1.0, 0.0], [2.0, 0.0]])
RAGGED = [[1.0, 0.0], [2.0]]
STRUCTURED = np.zeros(2, dtype=[("hi", "f8"), ("lo", "f8")])

UNARY = [on.exp, on.sqrt, on.sin, on.floor, on.from_rows, on.to_float64, on.to_strings, on.sum, on.format_rows,
         lambda a: on.sincos(a)[0]]
BINARY = [on.add, on.div, on.pow, on.atan2, on.fmod, on.dot]


def generator():
    return (row for row in OK.tolist())


@pytest.mark.parametrize("f", UNARY + [lambda a, f=f: f(OK, a) for f in BINARY]
                         + [lambda a, f=f: f(a, OK) for f in BINARY])
def test_numpy_conversion_errors_pass_through(f):
    with pytest.raises(ValueError, match="inhomogeneous"):
        f(RAGGED)
    with pytest.raises(TypeError, match="generator"):
        f(generator())
    with pytest.raises(TypeError) as e:
        f(STRUCTURED)
    assert "incompatible function arguments" not in str(e.value)


def test_too_large_a_copy_is_memory_error():
    # A broadcast view of 1.6 TB: the C-contiguous copy cannot be made.
    huge = np.broadcast_to([[1.0, 0.0]], (10 ** 11, 2))
    for call in (lambda: on.exp(huge), lambda: on.add(huge, huge), lambda: on.sum(huge)):
        with pytest.raises(MemoryError):
            call()
    with pytest.raises(MemoryError):
        on.sum_float64(np.broadcast_to([1.0], (2 * 10 ** 11,)))


def test_convertible_inputs_still_convert_and_shape_errors_stay():
    # Lists, ints, float32 and strided views convert as before.
    assert on.add([[1, 0]], np.float32([[2, 0]])).tolist() == [[3.0, 0.0]]
    assert on.to_float64(OK[::-1]).tolist() == [2.0, 1.0]
    assert on.from_float64(range(3)).tolist() == [[0.0, 0.0], [1.0, 0.0], [2.0, 0.0]]
    with pytest.raises(RuntimeError, match=r"shape \(N, 2\)"):
        on.exp(np.zeros((2, 3)))
