"""Reference bits for tests/cpp/test_math_golden_bits.cpp.

The elementary functions re-done step by step in Python floats (binary64,
round to nearest, one rounding per operation, no FMA), written from the
algorithm descriptions and not from the headers; libm supplies floor, ceil,
trunc, round, ldexp and log through ctypes, as it does for the library.
Includes the settled edge behaviour: the rescaled product error, the
overflowing first quotient of the division giving (q1, +0), trunc of an
integral high part by the sign of the high part, rounding of an infinite
high part giving (that infinity, +0).

Run: python3 tests/tools/golden_math_bits.py  (prints the table rows)
"""
import ctypes, math, struct
libm = ctypes.CDLL("libm.so.6")
for n in ("floor", "ceil", "trunc", "round", "log"):
    getattr(libm, n).restype = ctypes.c_double
    getattr(libm, n).argtypes = [ctypes.c_double]
libm.ldexp.restype = ctypes.c_double
libm.ldexp.argtypes = [ctypes.c_double, ctypes.c_int]
floor, ceil, trunc, cround, clog, ldexp = libm.floor, libm.ceil, libm.trunc, libm.round, libm.log, libm.ldexp
INF = math.inf
NAN = struct.unpack("<d", struct.pack("<Q", 0x7FF8000000000000))[0]
DMAX = 1.7976931348623157e308
def isinf(t): return abs(t) > DMAX
def isnan(t): return t != t

def fdiv(a, b):
    if b == 0.0:
        if a == 0.0 or a != a: return NAN
        return math.copysign(INF, a) * math.copysign(1.0, b)
    return a / b

def emul_steps(a, b, p):
    if abs(a) > 6.7e299 and abs(b) < 1.0:
        a = a * 2.0**-28; b = b * 2.0**28
    elif abs(b) > 6.7e299 and abs(a) < 1.0:
        b = b * 2.0**-28; a = a * 2.0**28
    t = a * 134217729.0; a_h = t - (t - a); a_l = a - a_h
    t = b * 134217729.0; b_h = t - (t - b); b_l = b - b_h
    return (((a_h * b_h - p) + a_h * b_l) + a_l * b_h) + a_l * b_l

def emul(a, b, p):
    err = emul_steps(a, b, p)
    if not isfinite(err) and isfinite(a) and isfinite(b) and isfinite(p):
        if abs(a) >= abs(b):
            err = emul_steps(a * 2.0**-28, b, p * 2.0**-28)
        else:
            err = emul_steps(a, b * 2.0**-28, p * 2.0**-28)
        err = err * 2.0**28
    return err
def isfinite(t): return abs(t) <= DMAX

def add(a, b):
    (ah, al), (bh, bl) = a, b
    s = ah + bh
    if isinf(s): return (s, 0.0)
    bb = s - ah; err = (ah - (s - bb)) + (bh - bb); err = err + (al + bl)
    hi = s + err; return (hi, err - (hi - s))

def sub(a, b):
    (ah, al), (bh, bl) = a, b
    s = ah - bh
    if isinf(s): return (s, 0.0)
    bb = s - ah; err = (ah - (s - bb)) - (bh + bb); err = err + (al - bl)
    hi = s + err; return (hi, err - (hi - s))

def mul(a, b):
    (ah, al), (bh, bl) = a, b
    p = ah * bh
    if isinf(p): return (p, 0.0)
    err = emul(ah, bh, p); err = err + (ah * bl + al * bh)
    hi = p + err; return (hi, err - (hi - p))

def div(a, b):
    (ah, al), (bh, bl) = a, b
    if bh == 0.0 and bl == 0.0:
        if ah == 0.0 and al == 0.0: return (NAN, 0.0)
        return (fdiv(ah, bh), 0.0)
    if isinf(bh):
        if isinf(ah) or isnan(ah): return (NAN, 0.0)
        return (-0.0 if math.copysign(1, ah) != math.copysign(1, bh) else 0.0, 0.0)
    q1 = fdiv(ah, bh)
    if isinf(q1): return (q1, 0.0)
    p_hi = bh * q1; p_lo = emul(q1, bh, p_hi) + q1 * bl
    s = ah - p_hi; bb = s - ah; e = (ah - (s - bb)) + (-p_hi - bb); e = (al - p_lo) + e
    r_hi = s + e; r_lo = e - (r_hi - s)
    q2 = fdiv(r_hi, bh)
    hi = q1 + q2; lo = (q2 - (hi - q1)) + fdiv(r_lo, bh)
    return (hi, lo)

def neg(x): return (-x[0], -x[1])
def D(d): return (d, 0.0)

def qts(h, l):
    if isinf(h): return (h, 0.0)     # decided: infinite high part -> (inf, +0)
    s = h + l; return (s, l - (s - h))

def ffloor(x):
    hi, lo = x; f = floor(hi); fl = 0.0
    if f == hi: fl = floor(lo)
    return qts(f, fl)
def fceil(x):
    hi, lo = x; f = ceil(hi); fl = 0.0
    if f == hi: fl = ceil(lo)
    return qts(f, fl)
def ftrunc(x):
    hi, lo = x; f = trunc(hi); fl = 0.0
    if f == hi:
        fl = floor(lo) if hi > 0 else ceil(lo) if hi < 0 else trunc(lo)
    return qts(f, fl)
def fround(x):
    hi, lo = x
    if hi < 0 or (hi == 0 and lo < 0): return fceil(sub(x, D(0.5)))
    return ffloor(add(x, D(0.5)))
def fmod(a, b): return sub(a, mul(ftrunc(div(a, b)), b))

def h2d(u): return struct.unpack("<d", struct.pack("<Q", u))[0]
LN2_16 = (h2d(0x3FA62E42FEFA39EF), h2d(0x3C3ABC9E3B39803F))
EXPT = [(0x3FF0000000000000,0x0000000000000000),(0x3FF0B5586CF9890F,0x3C98A62E4ADC610B),(0x3FF172B83C7D517B,0xBC819041B9D78A76),(0x3FF2387A6E756238,0x3C99B07EB6C70573),(0x3FF306FE0A31B715,0x3C86F46AD23182E4),(0x3FF3DEA64C123422,0x3C8ADA0911F09EBC),(0x3FF4BFDAD5362A27,0x3C7D4397AFEC42E2),(0x3FF5AB07DD485429,0x3C96324C054647AD),(0x3FF6A09E667F3BCD,0xBC9BDD3413B26456),(0x3FF7A11473EB0187,0xBC841577EE04992F),(0x3FF8ACE5422AA0DB,0x3C96E9F156864B27),(0x3FF9C49182A3F090,0x3C7C7C46B071F2BE),(0x3FFAE89F995AD3AD,0x3C97A1CD345DCC81),(0x3FFC199BDD85529C,0x3C811065895048DD),(0x3FFD5818DCFBA487,0x3C82ED02D75B3707),(0x3FFEA4AFA2A490DA,0xBC9E9C23179C2893)]
EXPT = [(h2d(a), h2d(b)) for a, b in EXPT]
COEF = [(0x3FE0000000000000,0xB653025FDE8531BB),(0x3FC5555555555555,0x3C6555555555B8C8),(0x3FA5555555555555,0x3C455555555571BF),(0x3F81111111111111,0x3C011100E54660D6),(0x3F56C16C16C16C17,0xBBEF49F93E15EC86),(0x3F2A01A01A01A01B,0xBBC078F863CF32AD),(0x3EFA01A01A01A01A,0x3B9B552A706E35D4),(0x3EC71DE3A5534681,0xBB5580DD82D70771),(0x3E927E4FB7769EF6,0x3B39C5F92374B32B),(0x3E5AE653FCAC40F5,0x3AE64C02932A35BF),(0x3E21EEE144F36D74,0x3ACE8DFD5ACBEA8D)]
COEF = [(h2d(a), h2d(b)) for a, b in COEF]

def exp(x):
    hi, lo = x
    if hi != hi: return (NAN, 0.0)
    if hi > h2d(0x40862E42FEFA39EF): return (INF, 0.0)
    if hi < h2d(0xC0874910D52D3051): return (0.0, 0.0)
    kd = cround(hi * h2d(0x40371547652B82FE)); k = int(kd)
    r = sub(x, mul(D(kd), LN2_16))
    s = COEF[10]
    for j in range(9, -1, -1):
        s = add(COEF[j], mul(s, r))
    one = D(1.0)
    er = add(one, mul(r, add(one, mul(r, s))))
    m = (abs(k) // 16) * (1 if k >= 0 else -1)  # truncating division
    i = k - 16 * m
    if i < 0: i += 16; m -= 1
    rh, rl = mul(er, EXPT[i])
    return (ldexp(rh, m), ldexp(rl, m))

def _delta(x, y):
    ey = exp(y); num = sub(x, ey); den = add(x, ey)
    return mul(D(2.0), div(num, den))
def log(x):
    hi, lo = x
    if hi != hi: return (NAN, 0.0)
    if hi == 0 and lo == 0: return (-INF, 0.0)
    if hi < 0 or (hi == 0 and lo < 0): return (NAN, 0.0)
    if isinf(hi): return (INF, 0.0)
    y = D(clog(hi))
    d = _delta(x, y); y = add(y, d)
    if abs(d[0]) > h2d(0x3F50624DD2F1A9FC):
        d = _delta(x, y); y = add(y, d)
    return y

def fabs_(x): 
    hi, lo = x
    if hi > 0: return x
    if hi < 0: return neg(x)
    if hi != hi: return x
    return (0.0, abs(lo))

E9 = h2d(0x43DF399B1438A100)
def pow(b, e):
    bhi, blo = b; ehi, elo = e
    if ehi == 0 and elo == 0: return (1.0, 0.0)
    if bhi == 0 and blo == 0:
        re = cround(ehi); odd = 0
        if ehi == re and elo == 0 and abs(re) <= E9:
            odd = int(re) % 2 != 0
        negb = math.copysign(1, bhi) < 0
        if ehi < 0: return (-INF if odd and negb else INF, 0.0)
        return (-0.0, -0.0) if odd and negb else (0.0, 0.0)
    if bhi < 0 or (bhi == 0 and blo < 0):
        re = cround(ehi)
        if ehi == re and elo == 0 and abs(re) <= E9:
            ei = int(re)
            res = exp(mul(e, log(fabs_(b))))
            if ei % 2 != 0: res = neg(res)
            return res
        return (NAN, 0.0)
    return exp(mul(e, log(b)))

T4 = h2d(0x3F1A36E2EB1C432D)
def sinh(x):
    hi, lo = x
    if hi != hi or isinf(hi): return x
    if abs(hi) < T4:
        x2 = mul(x, x); x3 = mul(x2, x); x5 = mul(x3, x2)
        return add(add(x, div(x3, D(6.0))), div(x5, D(120.0)))
    ex = exp(x); emx = div(D(1.0), ex)
    return mul(sub(ex, emx), D(0.5))
def cosh(x):
    hi, lo = x
    if hi != hi: return x
    if isinf(hi): return (INF, 0.0)
    ex = exp(x); emx = div(D(1.0), ex)
    return mul(add(ex, emx), D(0.5))
def tanh(x):
    hi, lo = x
    if hi != hi: return x
    if isinf(hi): return (1.0, 0.0) if hi > 0 else (-1.0, 0.0)
    if abs(hi) < T4:
        x2 = mul(x, x); x3 = mul(x2, x); x5 = mul(x3, x2)
        return add(add(x, div(x3, D(-3.0))), mul(x5, D(h2d(0x3FC1111111111111))))
    ex = exp(x); emx = div(D(1.0), ex)
    if not isfinite(ex[0]) or not isfinite(emx[0]):
        return (1.0, 0.0) if hi > 0 else (-1.0, 0.0)
    return div(sub(ex, emx), add(ex, emx))



def bits(d):
    return struct.unpack("<Q", struct.pack("<d", d))[0]


# Unary cases (name, (hi, lo)) and binary cases (name, (hi, lo), (hi, lo)).
UNARY = {
    "exp": [(1, 0), (-1, 0), (0.5, 1e-17), (10, 0), (-10, 0), (100.25, 0), (700, 0),
            (709.782712893384, 0), (-700, 0), (-740, 0), (-745.1332191019411, 0),
            (-0.04332169878499658, 0), (1e-20, 0), (3.5, -1e-16)],
    "log": [(2, 0), (10, 0), (0.5, 0), (1 + 2**-52, 0), (1, 1e-20), (1e300, 0), (1e-300, 0),
            (3, 0), (1, 0.5), (7.25, -3e-16)],
    "sinh": [(1, 0), (-1, 0), (5e-5, 0), (-5e-5, 1e-22), (1e-4, 0), (0.3, 1e-18), (20, 0),
             (-20, 0), (700, 0)],
    "cosh": [(1, 0), (-1, 0), (1e-4, 0), (0.3, 1e-18), (20, 0), (-20, 0), (700, 0)],
    "tanh": [(1, 0), (-1, 0), (5e-5, 0), (-5e-5, 1e-22), (1e-4, 0), (0.3, 1e-18), (20, 0),
             (-20, 0), (40, 0)],
    "round": [(2.5e15 + 0.5, 0.25), (-7.5, 1e-17), (1.25, 0)],
}
BINARY = {
    "pow": [((2, 0), (0.5, 0)), ((10, 0), (-3, 0)), ((-2, 0), (3, 0)), ((-2, 0), (2, 0)),
            ((1.5, 0), (100, 0)), ((2, 0), (1 / 3, 0)), ((0.5, 0), (1000, 0)),
            ((3.25, 1e-17), (-0.75, 0))],
    "fmod": [((1e20, 0), (3, 0)), ((3.141592653589793, 1.2246467991473532e-16), (1, 0)),
             ((1e17, 0.5), (7, 0)), ((5.5, 0), (-2, 0)),
             ((100, 0), (1.5707963267948966, 6.123233995736766e-17))],
}
FUNCS = {"exp": exp, "log": log, "pow": pow, "sinh": sinh, "cosh": cosh, "tanh": tanh,
         "round": fround, "fmod": fmod}


def row(name, x, y, r):
    def p(v):
        return "{0x%016X, 0x%016X}" % (bits(v[0]), bits(v[1]))
    return '    {"%s", %s, %s, %s},' % (name, p(x), p(y), p(r))


if __name__ == "__main__":
    for name, cases in UNARY.items():
        for x in cases:
            x = tuple(map(float, x))
            print(row(name, x, (0.0, 0.0), FUNCS[name](x)))
    for name, cases in BINARY.items():
        for x, y in cases:
            x, y = tuple(map(float, x)), tuple(map(float, y))
            print(row(name, x, y, FUNCS[name](x, y)))
