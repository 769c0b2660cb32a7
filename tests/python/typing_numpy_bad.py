"""Misuse of ostrell_numpy that mypy must reject (run by test_numpy_typing.py)."""
import ostrell_numpy as onp

a = onp.exp([[1.0, 0.0]], [[1.0, 0.0]])     # line 4: one argument
b = onp.to_rows([1.0, 2.0])                 # line 5: Float128 objects only
c: float = onp.sum_float64([1.0])           # line 6: a row, not a float
d = onp.from_strings([1, 2])                # line 7: str or bytes
