"""A short tour of ostrell from Python: about 32 significant digits, bit-exact."""
import ostrell

print(ostrell.__doc__)
for name in ("Float128", "pi", "sqrt"):
    if not hasattr(ostrell, name):
        print(f"(not built yet: {name})")
