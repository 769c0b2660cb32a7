"""Building module values from exact binary64 parts and reading them back."""
import math

from ostrell import Complex128, Float128


def hx(*xs):
    return " ".join(float.hex(float(x)) for x in xs)


def real(hi, lo=0.0):
    """The Float128 (hi, lo) of a normalised pair (exact: the sum does not round)."""
    return Float128(hi) if lo == 0.0 else Float128(hi) + Float128(lo)


def cplx(re_hi, re_lo, im_hi, im_lo):
    return Complex128(real(re_hi, re_lo), real(im_hi, im_lo))


def same(x, hi, lo):
    """x is the pair (hi, lo): equal parts (== compares both), same text, so
    the sign of a zero high part counts; NaN matches NaN."""
    if math.isnan(hi):
        return str(x) == "nan"
    want = real(hi, lo)
    return str(x) == str(want) and (x == want or math.isinf(hi))


def _read_double(x):
    """The value of a Float128 that holds one binary64 number.  Its text is
    exact only in fixed notation, so the value is scaled by a power of two
    (exact) into [1, 2) before it is printed."""
    approx = float(str(x))
    if approx == 0.0 or not math.isfinite(approx):
        return approx
    k = 1 - math.frexp(approx)[1]
    half = k // 2
    y = x * Float128(2.0 ** half) * Float128(2.0 ** (k - half))
    return float(str(y)) * 2.0 ** -half * 2.0 ** -(k - half)


def parts(x):
    """The exact (hi, lo) of a finite Float128: the leading digits give the
    high part, the remainder the low part; checked by rebuilding the value."""
    hi = _read_double(x)
    for _ in range(3):
        lo = _read_double(x - Float128(hi))
        if real(hi, lo) == x:
            return hi, lo
        hi += lo
    raise AssertionError(f"cannot read the parts of {x}")
