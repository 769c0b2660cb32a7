"""Typed use of ostrell; mypy --strict must accept it (run by test_typing.py)."""
import numpy as np
import numpy.typing as npt

import ostrell
from ostrell import Complex128, Float128

x: Float128 = Float128("0.1") * ostrell.pi + Float128(2) - Float128(b"1e-3") / Float128()
x += ostrell.e
y: Float128 = ostrell.atan2(ostrell.sin(x), ostrell.cos(x))
z: Complex128 = Complex128(1.0, imag=2.0) * Complex128(real=x) + 1.5 - (1 + 2j)
z /= 3
w: Complex128 = ostrell.tanh(z)
v: Complex128 = ostrell.sin(1.0)
u: Complex128 = ostrell.cos(2 + 1j)
m: Float128 = ostrell.abs(w) + ostrell.abs(y) + ostrell.abs_sqr(0.5)
flags: list[bool] = [ostrell.isnan(m), ostrell.isinf(y), x < y, x == 1.0, z == w]
parts: list[Float128] = [z.real(), z.imag(), -x]
texts: list[str] = [x.to_string(), str(z), repr(v), u.to_string()]
rows: npt.NDArray[np.float64] = ostrell.add_arrays([[1.0, 0.0]], np.zeros((1, 2)))
