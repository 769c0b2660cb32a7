"""Typed use of ostrell_numpy; mypy --strict must accept it (run by test_numpy_typing.py)."""
import numpy as np
import numpy.typing as npt

import ostrell
import ostrell_numpy as onp

rows: npt.NDArray[np.float64] = onp.exp(onp.from_float64([0.5, 1.0]))
rows = onp.pow(rows, [[2.0, 0.0], [3.0, 0.0]])
s, c = onp.sincos(rows)
values: list[ostrell.Float128] = onp.from_rows(onp.atan2(s, c))
back: npt.NDArray[np.float64] = onp.to_rows(v * ostrell.pi for v in values)
texts: list[str] = onp.to_strings(back)
parsed: npt.NDArray[np.float64] = onp.from_strings(texts + [b"0.1"])
nearest: npt.NDArray[np.float64] = onp.to_float64(parsed)
total: npt.NDArray[np.float64] = onp.sum(rows) + onp.dot(rows, rows) + onp.sum_float64(nearest)
path: str = onp.isa
zs: list[ostrell.Complex128] = onp.from_complex_rows(onp.to_complex_rows([ostrell.Complex128(1.0, 2.0)]))
dt: onp.Float128DType = onp.float128_dtype
arr = onp.as_float128(np.zeros((3, 2)))
arr_rows: npt.NDArray[np.float64] = onp.as_rows(np.exp(arr))
