/* ostrell_math.h: elementary functions on double-double values.
 *
 * Every function is a fixed sequence of the kernel operations of ostrell.h
 * and the tables of ostrell_consts.h; special arguments are decided on the
 * high part and give special results with a low part of +0.
 */
#ifndef OSTRELL_MATH_H
#define OSTRELL_MATH_H

#include <stdint.h>
#include "ostrell.h"
#include "ostrell_utils.h"
#include "ostrell_consts.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ======== rounding and remainder ======================================== */

/* Quick-two-sum of a rounded high part and a rounded low part.  An infinite
 * high part comes back as (that infinity, +0) instead of the NaN low part
 * that inf - inf would give. */
static inline ostrell_t _ostrell_rounded_pair(double r_hi, double r_lo)
{
    double s, e;
    if (_ostrell_isinf_d(r_hi))
        return ostrell_from_double(r_hi);
    s = r_hi + r_lo;
    e = r_lo - (s - r_hi);
    return ostrell_from_hi_lo(s, e);
}

/* The low part is rounded only when the high part is already an integer. */
static inline ostrell_t ostrell_floor(ostrell_t x)
{
    double hi, lo, f_hi, f_lo;
    ostrell_extract(x, &hi, &lo);
    f_hi = floor(hi);
    f_lo = 0.0;
    if (f_hi == hi)
        f_lo = floor(lo);
    return _ostrell_rounded_pair(f_hi, f_lo);
}

static inline ostrell_t ostrell_ceil(ostrell_t x)
{
    double hi, lo, c_hi, c_lo;
    ostrell_extract(x, &hi, &lo);
    c_hi = ceil(hi);
    c_lo = 0.0;
    if (c_hi == hi)
        c_lo = ceil(lo);
    return _ostrell_rounded_pair(c_hi, c_lo);
}

/* Truncation of the exact sum hi + lo: with an integral high part the low
 * part is rounded toward zero of the whole value (floor below a positive
 * high part, ceil below a negative one), so (3, -1e-16) gives 2. */
static inline ostrell_t ostrell_trunc(ostrell_t x)
{
    double hi, lo, t_hi, t_lo;
    ostrell_extract(x, &hi, &lo);
    t_hi = trunc(hi);
    t_lo = 0.0;
    if (t_hi == hi) {
        if (hi > 0.0)
            t_lo = floor(lo);
        else if (hi < 0.0)
            t_lo = ceil(lo);
        else
            t_lo = trunc(lo);
    }
    return _ostrell_rounded_pair(t_hi, t_lo);
}

/* Round half away from zero; the half is added in double-double, so a value
 * just below a half-way point is not pushed across it. */
static inline ostrell_t ostrell_round(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    if (hi < 0.0 || (hi == 0.0 && lo < 0.0))
        return ostrell_ceil(ostrell_sub(x, ostrell_from_double(0.5)));
    return ostrell_floor(ostrell_add(x, ostrell_from_double(0.5)));
}

/* a - trunc(a / b) * b: the remainder has the sign of the dividend. */
static inline ostrell_t ostrell_fmod(ostrell_t a, ostrell_t b)
{
    ostrell_t q = ostrell_div(a, b);
    q = ostrell_trunc(q);
    return ostrell_sub(a, ostrell_mul(q, b));
}

/* ======== exponential, logarithm, power ================================= */

/* e^r for |r| <= ~ln2/32: 1 + r (1 + r s(r)), s the stored series of
 * (e^r - 1 - r) / r^2 in Horner form from its highest coefficient. */
static inline ostrell_t _ostrell_exp_reduced(ostrell_t r)
{
    ostrell_t one = ostrell_from_double(1.0);
    ostrell_t s = _ostrell_from_raw(_ostrell_exp_coefs_n16[10]);
    int32_t j;
    for (j = 9; j >= 0; --j)
        s = ostrell_add(_ostrell_from_raw(_ostrell_exp_coefs_n16[j]), ostrell_mul(s, r));
    return ostrell_add(one, ostrell_mul(r, ostrell_add(one, ostrell_mul(r, s))));
}

/* e^x = 2^m * 2^(i/16) * e^r with k = round(16 x / ln2) = 16 m + i. */
static inline ostrell_t ostrell_exp(ostrell_t x)
{
    double hi, lo, k_double, res_hi, res_lo;
    int64_t k, m;
    int32_t i;
    ostrell_t ln2_16, r, er, res;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return ostrell_from_double(_ostrell_nan());
    if (hi > 0x1.62e42fefa39efp+9) /* 709.782712893384, 0x40862E42FEFA39EF */
        return ostrell_from_double(HUGE_VAL);
    if (hi < -0x1.74910d52d3051p+9) /* -745.1332191019411, 0xC0874910D52D3051 */
        return ostrell_from_hi_lo(0.0, 0.0);
    k_double = round(hi * 0x1.71547652b82fep+4); /* 16/ln2 = 23.083120654223414, 0x40371547652B82FE */
    k = (int64_t)k_double;
    ln2_16 = _ostrell_from_raw(_ostrell_ln2_16_raw);
    r = ostrell_sub(x, ostrell_mul(ostrell_from_double(k_double), ln2_16));
    er = _ostrell_exp_reduced(r);
    /* m = floor(k / 16), 0 <= i <= 15 */
    m = k / 16;
    i = (int32_t)(k % 16);
    if (i < 0) {
        i = i + 16;
        m = m - 1;
    }
    res = ostrell_mul(er, _ostrell_from_raw(_ostrell_exp_table[i]));
    /* Each part scaled on its own, not renormalised: overflow and gradual
     * underflow at the ends of the range are those of ldexp per part. */
    ostrell_extract(res, &res_hi, &res_lo);
    res_hi = ldexp(res_hi, (int)m);
    res_lo = ldexp(res_lo, (int)m);
    return ostrell_from_hi_lo(res_hi, res_lo);
}

/* One correction of y towards log x: delta = 2 (x - e^y) / (x + e^y). */
static inline ostrell_t _ostrell_log_delta(ostrell_t x, ostrell_t y)
{
    ostrell_t ey = ostrell_exp(y);
    ostrell_t num = ostrell_sub(x, ey);
    ostrell_t den = ostrell_add(x, ey);
    return ostrell_mul(ostrell_from_double(2.0), ostrell_div(num, den));
}

/* Binary64 seed log(hi), corrected once; a second time only when the first
 * correction exceeded 0.001 in magnitude. */
static inline ostrell_t ostrell_log(ostrell_t x)
{
    double hi, lo, dhi, dlo;
    ostrell_t y, delta;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return ostrell_from_double(_ostrell_nan());
    if (hi == 0.0 && lo == 0.0)
        return ostrell_from_double(-HUGE_VAL);
    if (hi < 0.0 || (hi == 0.0 && lo < 0.0))
        return ostrell_from_double(_ostrell_nan());
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(HUGE_VAL);
    y = ostrell_from_double(log(hi));
    delta = _ostrell_log_delta(x, y);
    y = ostrell_add(y, delta);
    ostrell_extract(delta, &dhi, &dlo);
    if (fabs(dhi) > 0x1.0624dd2f1a9fcp-10) { /* 0.001, 0x3F50624DD2F1A9FC */
        delta = _ostrell_log_delta(x, y);
        y = ostrell_add(y, delta);
    }
    return y;
}

/* 1 when e is an integer usable as a 64-bit one (low part zero,
 * |e| <= 9e18 = 0x43DF399B1438A100) and odd. */
static inline int _ostrell_pow_odd_int(double ehi, double elo)
{
    double rounded_e = round(ehi);
    if (ehi == rounded_e && elo == 0.0 && fabs(rounded_e) <= 0x1.f399b1438a1p+62)
        return (int64_t)rounded_e % 2 != 0;
    return 0;
}

/* base^exp = e^(exp * log base), behind the ladder of special cases: zero
 * exponent, zero base, negative base with an integral exponent. */
static inline ostrell_t ostrell_pow(ostrell_t base, ostrell_t exp)
{
    double bhi, blo, ehi, elo, rounded_e;
    int is_odd, is_neg_base;
    int64_t e_int;
    ostrell_t abs_base, res;
    ostrell_extract(base, &bhi, &blo);
    ostrell_extract(exp, &ehi, &elo);
    if (ehi == 0.0 && elo == 0.0)
        return ostrell_from_double(1.0);
    if (bhi == 0.0 && blo == 0.0) {
        is_odd = _ostrell_pow_odd_int(ehi, elo);
        is_neg_base = signbit(bhi) != 0;
        if (ehi < 0.0)
            return ostrell_from_double(is_odd && is_neg_base ? -HUGE_VAL : HUGE_VAL);
        if (is_odd && is_neg_base)
            return ostrell_from_hi_lo(-0.0, -0.0);
        return ostrell_from_hi_lo(0.0, 0.0);
    }
    if (bhi < 0.0 || (bhi == 0.0 && blo < 0.0)) {
        rounded_e = round(ehi);
        if (ehi == rounded_e && elo == 0.0 && fabs(rounded_e) <= 0x1.f399b1438a1p+62) {
            e_int = (int64_t)rounded_e;
            abs_base = ostrell_abs(base);
            res = ostrell_exp(ostrell_mul(exp, ostrell_log(abs_base)));
            if (e_int % 2 != 0)
                res = ostrell_neg(res);
            return res;
        }
        return ostrell_from_double(_ostrell_nan());
    }
    return ostrell_exp(ostrell_mul(exp, ostrell_log(base)));
}

/* ======== hyperbolic functions ========================================== */

/* The odd powers x^3 and x^5 for the short series of sinh and tanh. */
static inline void _ostrell_odd_powers(ostrell_t x, ostrell_t* x3, ostrell_t* x5)
{
    ostrell_t x2 = ostrell_mul(x, x);
    *x3 = ostrell_mul(x2, x);
    *x5 = ostrell_mul(*x3, x2);
}

/* A NaN comes back unchanged; so does an infinity.  Below 0.0001 in
 * magnitude x + x^3/6 + x^5/120, else (e^x - 1/e^x) / 2.  Beyond the
 * exponential's range the reciprocal or e^x is infinite and the result is
 * the signed infinity. */
static inline ostrell_t ostrell_sinh(ostrell_t x)
{
    double hi, lo;
    ostrell_t x3, x5, term2, term3, ex, emx;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return x;
    if (_ostrell_isinf_d(hi))
        return x;
    if (fabs(hi) < 0x1.a36e2eb1c432dp-14) { /* 0.0001, 0x3F1A36E2EB1C432D */
        _ostrell_odd_powers(x, &x3, &x5);
        term2 = ostrell_div(x3, ostrell_from_double(6.0));
        term3 = ostrell_div(x5, ostrell_from_double(120.0));
        return ostrell_add(ostrell_add(x, term2), term3);
    }
    ex = ostrell_exp(x);
    emx = ostrell_div(ostrell_from_double(1.0), ex);
    return ostrell_mul(ostrell_sub(ex, emx), ostrell_from_double(0.5));
}

/* (e^x + 1/e^x) / 2; no series branch. */
static inline ostrell_t ostrell_cosh(ostrell_t x)
{
    double hi, lo;
    ostrell_t ex, emx;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return x;
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(HUGE_VAL);
    ex = ostrell_exp(x);
    emx = ostrell_div(ostrell_from_double(1.0), ex);
    return ostrell_mul(ostrell_add(ex, emx), ostrell_from_double(0.5));
}

/* Below 0.0001 in magnitude x - x^3/3 + (2/15) x^5, else
 * (e^x - 1/e^x) / (e^x + 1/e^x); +-1 where either exponential is not finite. */
static inline ostrell_t ostrell_tanh(ostrell_t x)
{
    double hi, lo, ex_hi, ex_lo, emx_hi, emx_lo;
    ostrell_t x3, x5, term2, term3, ex, emx;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return x;
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi > 0.0 ? 1.0 : -1.0);
    if (fabs(hi) < 0x1.a36e2eb1c432dp-14) { /* 0.0001, 0x3F1A36E2EB1C432D */
        _ostrell_odd_powers(x, &x3, &x5);
        term2 = ostrell_div(x3, ostrell_from_double(-3.0));
        term3 = ostrell_mul(x5, ostrell_from_double(0x1.1111111111111p-3)); /* 2/15, 0x3FC1111111111111 */
        return ostrell_add(ostrell_add(x, term2), term3);
    }
    ex = ostrell_exp(x);
    emx = ostrell_div(ostrell_from_double(1.0), ex);
    ostrell_extract(ex, &ex_hi, &ex_lo);
    ostrell_extract(emx, &emx_hi, &emx_lo);
    if (_ostrell_isinf_d(ex_hi) || ex_hi != ex_hi || _ostrell_isinf_d(emx_hi) || emx_hi != emx_hi)
        return ostrell_from_double(hi > 0.0 ? 1.0 : -1.0);
    return ostrell_div(ostrell_sub(ex, emx), ostrell_add(ex, emx));
}

/* ======== circular functions ============================================ */

/* ======== inverse circular functions ==================================== */

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_MATH_H */
