"""A short tour of ostrell from Python: about 32 significant digits, bit-exact."""
import numpy as np

import ostrell
from ostrell import Complex128, Float128

print(ostrell.__doc__)

# Text keeps all 32 digits; a float carries its binary64 error along.
tenth = Float128("0.1")
print("Float128('0.1')     =", tenth)
print("Float128(0.1)       =", Float128(0.1))

# Arithmetic only mixes Float128 with Float128.
third = Float128(1) / Float128(3)
print("1/3                 =", third)
print("0.1 * pi            =", repr(tenth * ostrell.pi))

# Module functions; printing truncates after 32 digits.
print("pi                  =", ostrell.pi)
print("sqrt(2)             =", ostrell.sqrt(Float128(2)))
print("exp(1)              =", ostrell.exp(Float128(1)))
print("atan(1) * 4         =", ostrell.atan(Float128(1)) * Float128(4))
print("sin(pi / 6)         =", ostrell.sin(ostrell.pi / Float128(6)))

# Complex numbers; a Python float, int or complex converts to Complex128.
z = Complex128(1.0, 2.0)
print("(1+2i) * (3-4i)     =", z * (3 - 4j))
print("sin(1+2i)           =", ostrell.sin(z))
print("|3+4i|              =", ostrell.abs(Complex128(3, 4)))

# Arrays: one value per row, high part then low part; no object per value.
a = np.array([[1.0, 0.0], [2.0, 0.0], [3.0, 0.0]])
b = np.array([[3.0, 0.0], [7.0, 0.0], [9.0, 0.0]])
q = ostrell.div_arrays(a, b)
print("[1, 2, 3] / [3, 7, 9] as (high, low) rows, and as Float128:")
for hi, lo in q:
    print(f"    ({float(hi)!r}, {float(lo)!r})  {Float128(hi) + Float128(lo)}")
