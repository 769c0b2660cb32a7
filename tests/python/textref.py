"""Exact references for decimal text, by rational arithmetic (fractions,
decimal): the canonical pair of a real, correctly rounded digits, and the
checks that a shortest text reads back, is minimal and is the nearest.
Also the value generators shared by the tests and tools/check_text.py."""
import math
import random
import struct
from decimal import ROUND_HALF_EVEN, Context, Decimal
from fractions import Fraction

EXACT = Context(prec=4000, Emax=10**6, Emin=-10**6)


def hexbits(x):
    return "0x" + struct.pack(">d", x).hex().upper()


def pair_hex(hi, lo):
    return f"({hexbits(hi)}, {hexbits(lo)})"


def exact(hi, lo):
    return Fraction(hi) + Fraction(lo)


def canon(v):
    """The canonical pair of the rational v: hi nearest v, lo nearest v - hi,
    one fast-two-sum; (+-inf, 0) where that overflows.  float(Fraction) is
    correctly rounded."""
    try:
        hi = float(v)
        lo = float(v - Fraction(hi))
        s = hi + lo
        if math.isinf(s):
            raise OverflowError
    except OverflowError:
        return (-math.inf if v < 0 else math.inf, 0.0)
    lo = lo - (s - hi)
    return (s, lo + 0.0)


def canon_text(text):
    """The canonical pair of a decimal text's exact value; a negative zero stays one."""
    v = Fraction(Decimal(text))
    if v == 0:
        return (-0.0 if text.lstrip().startswith("-") else 0.0, 0.0)
    return canon(v)


def same(a, b):
    """Pairs equal part by part, the sign of a zero high part included."""
    return a[0] == b[0] and a[1] == b[1] and math.copysign(1, a[0]) == math.copysign(1, b[0])


def rounded(hi, lo, d):
    """hi + lo rounded to d significant digits, ties to even."""
    v = EXACT.add(Decimal(hi), Decimal(lo))
    return Context(prec=d, rounding=ROUND_HALF_EVEN, Emax=10**6, Emin=-10**6).plus(v)


def sig_digits(text):
    """The significant digits of a decimal text (no trailing zeros)."""
    m = text.lstrip("-").split("e")[0].replace(".", "").lstrip("0").rstrip("0")
    return m


def shortest_faults(hi, lo, text):
    """What is wrong with text as the shortest text of the pair (hi, lo): []
    when it reads back as the canonical pair of hi + lo, no text with fewer
    significant digits does, and no text with as many is nearer."""
    target = canon(exact(hi, lo))
    if math.isinf(target[0]):
        return [] if text == ("-inf" if target[0] < 0 else "inf") else ["not the infinity"]
    v = exact(hi, lo)
    t = Fraction(Decimal(text))
    faults = []
    if not same(canon(t), target) and not (t == 0 and v == 0):
        faults.append("does not read back")
    n = len(sig_digits(text))
    if v == 0 or n == 0:
        return faults
    x = math.floor(math.log10(abs(t)))  # exponent of the text's first digit
    while Fraction(10) ** x > abs(t):
        x -= 1
    while Fraction(10) ** (x + 1) <= abs(t):
        x += 1
    sign = 1 if v > 0 else -1
    av = abs(v)
    if n > 1:
        # The neighbours of v with n - 1 digits (at v's exponent; the upper one
        # may be a power of ten with fewer digits still).
        xv = math.floor(math.log10(av))
        while Fraction(10) ** xv > av:
            xv -= 1
        while Fraction(10) ** (xv + 1) <= av:
            xv += 1
        unit = Fraction(10) ** (xv - (n - 1) + 1)
        below = math.floor(av / unit) * unit
        for c in (below, below + unit):
            if c > 0 and same(canon(sign * c), target):
                faults.append(f"{n - 1} digits suffice: {Decimal(c.numerator) / Decimal(c.denominator)}")
    unit = Fraction(10) ** (x - n + 1)
    for c in (abs(t) - unit, abs(t) + unit):
        if c > 0 and same(canon(sign * c), target) and abs(c - av) < abs(abs(t) - av):
            faults.append("a nearer text has as many digits")
    return faults


# ---- values -------------------------------------------------------------------

def canonical(hi, lo):
    s = hi + lo
    return (s, (lo - (s - hi)) + 0.0)


def random_pair(rng, e_lo=-1022, e_hi=1023):
    """A canonical pair: hi with a uniform binary exponent, lo a random fraction of half an ulp."""
    hi = math.ldexp(rng.uniform(1.0, 2.0), rng.randrange(e_lo, e_hi)) * rng.choice((1, -1))
    lo = rng.uniform(-0.5, 0.5) * math.ulp(hi)
    return canonical(hi, lo)


def pairs_in_decimal_range(rng):
    """Canonical pairs with magnitudes in [1e-4, 1e15)."""
    return random_pair(rng, -14, 50)


def special_pairs(rng):
    """Plain doubles, integers above 2^53, ties, subnormals, near the largest."""
    out = []
    for _ in range(20):
        out.append((rng.uniform(-1e300, 1e300) * 10.0 ** rng.randrange(-600, 0), 0.0))  # plain doubles
        k = rng.randrange(1, 2**60)
        out.append(canonical(float(2**53 + k), float(2**53 + k - int(float(2**53 + k)))))  # integers > 2^53
        hi = math.ldexp(float(rng.randrange(2**52, 2**53)), rng.randrange(-1050, 950))
        hi = hi if int(hi / math.ulp(hi)) % 2 == 0 else hi + math.ulp(hi)
        out.append((hi, math.ulp(hi) / 2))  # lo exactly half an ulp of an even hi
        out.append((hi, -math.ulp(hi) / 2))
        out.append((rng.randrange(1, 2**52) * 5e-324, 0.0))  # subnormal
        out.append(random_pair(rng, -1022, -960))  # low part subnormal
        out.append(random_pair(rng, 1020, 1024))  # near the largest
    out += [(5e-324, 0.0), (1e-323, 0.0), (2.2250738585072014e-308, 0.0), (1.7976931348623157e308, 0.0),
            (1.7976931348623157e308, 9.9792015476735972e291), (1.0, 0.0), (0.1, 0.0), (1.0, 2.0**-1074),
            (1.0, -(2.0**-54)), (2.0, -(2.0**-54)), (9007199254740992.0, 1.0), (1e23, 8388608.0)]
    return out


def end_pairs(rng):
    """Pairs whose interval of reals ends exactly on the only multiple of 10^j
    in it: (2^e, 16 t) has the interval 16 t -+ 8 around it, closed when t is
    even; t chosen so that 2^e + 16 t - 8 (or + 8) is a multiple of 10^j."""
    out = []
    for _ in range(6):
        e = rng.randrange(110, 180)
        for j, side in ((2, -8), (2, 8), (3, -8), (3, 8)):
            h = 2**e
            m = 10**j
            # 16 t = -side - h (mod m), t in [2^52, 2^53) of either parity.
            for t in range(2**52 + rng.randrange(0, 2**40), 2**53):
                if (h + 16 * t + side) % m == 0:
                    out.append((float(h), float(16 * t)))
                    break
            t2 = t + m // math.gcd(16, m)  # next solution, the other parity when that step is odd
            out.append((float(h), float(16 * t2)))
    return out


def noncanonical_pairs(rng):
    """Pairs that no real's canonical pair is: lo too large, hi zero, overlapping parts."""
    out = []
    for _ in range(10):
        hi = math.ldexp(rng.uniform(1, 2), rng.randrange(-900, 900))
        out.append((hi, hi * rng.uniform(-0.9, 0.9)))
        out.append((hi, math.ulp(hi) * rng.uniform(0.6, 1e6)))
    out += [(0.0, 1.0), (1.0, 1.0), (1.0, -1.0), (1e308, 1e308), (1.0, 5e-324), (3.0, 2.0**-52)]
    return out


def random_text(rng):
    """Random decimal text: 1..60 digits, a point somewhere, an exponent."""
    n = rng.randrange(1, 61)
    digits = "".join(rng.choice("0123456789") for _ in range(n))
    point = rng.randrange(0, n + 1)
    body = digits[:point] + "." + digits[point:] if rng.random() < 0.7 else digits
    if body in (".",):
        body = "0"
    e = rng.choice((0, rng.randrange(-30, 30), rng.randrange(-360, 330)))
    sign = rng.choice(("", "-", "+"))
    return f"{sign}{body}e{e}" if e or rng.random() < 0.3 else sign + body


def tie_texts(rng, n):
    """Exact decimals of reals half way between two neighbouring canonical pairs
    (the low part's tie, so the even low part wins) and just beside them."""
    out = []
    for _ in range(n):
        hi, lo = random_pair(rng, -1000, 1000)
        if lo == 0.0:
            continue
        mid = exact(hi, lo) + Fraction(math.ulp(lo)) / 2 * rng.choice((1, -1))
        for v in (mid, mid + Fraction(1, 10**1200), mid - Fraction(1, 10**1200)):
            out.append(format(EXACT.divide(Decimal(v.numerator), Decimal(v.denominator)), "f"))
    return out
