"""Misuse of ostrell that mypy must reject (run by test_typing.py)."""
import ostrell

a = ostrell.exp(1.0)                      # line 4: no implicit Float128
b = ostrell.sin(ostrell.pi).real()        # line 5: Float128 has no real()
c = ostrell.Float128(1.0) + 1.0           # line 6: no mixed arithmetic
d = ostrell.pow(ostrell.pi)               # line 7: two arguments
