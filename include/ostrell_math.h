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

/* a - trunc(a / b) * b: the remainder has the sign of the dividend.
 * A finite dividend over a finite non-zero divisor whose quotient overflows,
 * or whose truncated quotient times the divisor does (a dividend next to
 * the largest binary64), has no remainder this precision can give:
 * NaN, as for the other undefined cases, rather than the infinity the last
 * step would make. */
static inline ostrell_t ostrell_fmod(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, q_hi, q_lo, qb_hi, qb_lo;
    int finite_operands;
    ostrell_t q = ostrell_div(a, b), qb;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    ostrell_extract(q, &q_hi, &q_lo);
    finite_operands = !_ostrell_isinf_d(a_hi) && !_ostrell_isinf_d(b_hi) && !(b_hi == 0.0 && b_lo == 0.0);
    if (_ostrell_isinf_d(q_hi) && finite_operands)
        return ostrell_from_double(_ostrell_nan());
    qb = ostrell_mul(ostrell_trunc(q), b);
    ostrell_extract(qb, &qb_hi, &qb_lo);
    if (_ostrell_isinf_d(qb_hi) && finite_operands)
        return ostrell_from_double(_ostrell_nan());
    return ostrell_sub(a, qb);
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

/* hi folded into [0, 2π) by the binary64 2π (0x401921FB54442D18): the result
 * is that of the folded binary64 number, not of the true argument. */
static inline double _ostrell_trig_fold(double hi)
{
    const double two_pi = 0x1.921fb54442d18p+2;
    double reduced = fmod(hi, two_pi);
    if (reduced < 0.0)
        reduced = reduced + two_pi;
    return reduced;
}

/* r = x - k·π/2 with k the nearest integer to x·2/π; *q = k mod 4 in 0..3.
 * Below 2^52 k comes from the high part of x·2/π alone.  From 2^52 on that
 * high part is already an integer and the nearest integer is decided by the
 * low part, so k = x_scaled_hi + round(x_scaled_lo) (exact in 64 bits below
 * the fold) and |r| stays near π/4. */
static inline ostrell_t _ostrell_trig_reduce(ostrell_t x, int* q)
{
    ostrell_t pi_over_2 = _ostrell_from_raw(_ostrell_pi_over_2_raw);
    ostrell_t x_scaled, r;
    double x_scaled_hi, x_scaled_lo, k_double, k_lo;
    int64_t k;
    x_scaled = ostrell_mul(x, _ostrell_from_raw(_ostrell_two_over_pi_raw));
    ostrell_extract(x_scaled, &x_scaled_hi, &x_scaled_lo);
    if (fabs(x_scaled_hi) < 0x1p52) {
        k_double = round(x_scaled_hi);
        k = (int64_t)k_double;
        r = ostrell_sub(x, ostrell_mul(ostrell_from_double(k_double), pi_over_2));
    } else if (fabs(x_scaled_hi) < 0x1.8p62 && fabs(x_scaled_lo) < 0x1p61) {
        k_lo = round(x_scaled_lo);
        k = (int64_t)x_scaled_hi + (int64_t)k_lo;
        r = ostrell_sub(x, ostrell_mul(ostrell_from_hi_lo(x_scaled_hi, k_lo), pi_over_2));
    } else {
        /* Only an unnormalised x reaches this: below the fold |x_scaled_hi|
         * stays under 5.8e18 and |x_scaled_lo| under 2^9, but a low part
         * that is huge, infinite or NaN puts k outside 64 bits (or makes it
         * NaN).  No quadrant exists; NaN, as for an infinite argument. */
        *q = 0;
        return ostrell_from_double(_ostrell_nan());
    }
    *q = (int)(k % 4);
    if (*q < 0)
        *q = *q + 4;
    return r;
}

/* sin r = r·(1 + r²·P(r²)), P of fixed length twelve, Horner from the top. */
static inline ostrell_t _ostrell_sin_reduced(ostrell_t r, ostrell_t rsq)
{
    ostrell_t s_sin = _ostrell_from_raw(_ostrell_sin_coefs_n4[11]);
    int j;
    for (j = 10; j >= 0; --j)
        s_sin = ostrell_add(_ostrell_from_raw(_ostrell_sin_coefs_n4[j]), ostrell_mul(s_sin, rsq));
    return ostrell_mul(r, ostrell_add(ostrell_from_double(1.0), ostrell_mul(rsq, s_sin)));
}

/* cos r = 1 + r²·Q(r²), Q of fixed length twelve, Horner from the top. */
static inline ostrell_t _ostrell_cos_reduced(ostrell_t rsq)
{
    ostrell_t s_cos = _ostrell_from_raw(_ostrell_cos_coefs_n4[11]);
    int j;
    for (j = 10; j >= 0; --j)
        s_cos = ostrell_add(_ostrell_from_raw(_ostrell_cos_coefs_n4[j]), ostrell_mul(s_cos, rsq));
    return ostrell_add(ostrell_from_double(1.0), ostrell_mul(rsq, s_cos));
}

/* Sine and cosine together: one reduction modulo π/2, both polynomials always
 * evaluated, sign and function chosen by the quadrant.  A NaN or infinite
 * high part gives (NaN, +0) for both; above 9e18 the argument is first folded
 * into [0, 2π) with the binary64 remainder (its low part dropped). */
static inline void ostrell_sincos(ostrell_t x, ostrell_t* s, ostrell_t* c)
{
    const double fold = 0x1.f399b1438a1p+62; /* 9e18, 0x43DF399B1438A100 */
    double hi, lo;
    ostrell_t r, rsq, sin_r, cos_r;
    int q;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi || _ostrell_isinf_d(hi)) {
        *s = ostrell_from_double(_ostrell_nan());
        *c = ostrell_from_double(_ostrell_nan());
        return;
    }
    if (fabs(hi) > fold)
        x = ostrell_from_double(_ostrell_trig_fold(hi));
    r = _ostrell_trig_reduce(x, &q);
    if (ostrell_isnan(r)) {             /* unnormalised x beyond the range */
        *s = ostrell_from_double(_ostrell_nan());
        *c = ostrell_from_double(_ostrell_nan());
        return;
    }
    rsq = ostrell_mul(r, r);
    sin_r = _ostrell_sin_reduced(r, rsq);
    cos_r = _ostrell_cos_reduced(rsq);
    switch (q) {
    case 0: *s = sin_r; *c = cos_r; break;
    case 1: *s = cos_r; *c = ostrell_neg(sin_r); break;
    case 2: *s = ostrell_neg(sin_r); *c = ostrell_neg(cos_r); break;
    default: *s = ostrell_neg(cos_r); *c = sin_r; break;
    }
}

static inline ostrell_t ostrell_sin(ostrell_t x)
{
    ostrell_t s, c;
    ostrell_sincos(x, &s, &c);
    return s;
}

static inline ostrell_t ostrell_cos(ostrell_t x)
{
    ostrell_t s, c;
    ostrell_sincos(x, &s, &c);
    return c;
}

/* sin/cos by the double-double division; an exact zero cosine gives ±inf. */
static inline ostrell_t ostrell_tan(ostrell_t x)
{
    ostrell_t s, c;
    ostrell_sincos(x, &s, &c);
    return ostrell_div(s, c);
}

/* ======== inverse circular functions ==================================== */

/* arctan x for |x| <= 1: the binary64 atan of the high part as seed, then one
 * Newton step on tan y = x, y + cos y·(x·cos y - sin y), without a division. */
static inline ostrell_t _ostrell_atan_near_zero(ostrell_t x)
{
    double hi, lo;
    ostrell_t y, sy, cy, term;
    ostrell_extract(x, &hi, &lo);
    y = ostrell_from_double(atan(hi));
    ostrell_sincos(y, &sy, &cy);
    term = ostrell_sub(ostrell_mul(x, cy), sy);
    y = ostrell_add(y, ostrell_mul(cy, term));
    return y;
}

/* arctan x in [-π/2, π/2]; above 1 in magnitude as π/2 - arctan(1/|x|). */
static inline ostrell_t ostrell_atan(ostrell_t x)
{
    double hi, lo;
    ostrell_t pi_over_2 = _ostrell_from_raw(_ostrell_pi_over_2_raw);
    ostrell_t one, abs_x, inv_x, atan_inv, res;
    ostrell_extract(x, &hi, &lo);
    if (hi != hi)
        return ostrell_from_double(_ostrell_nan());
    if (_ostrell_isinf_d(hi))
        return hi > 0.0 ? pi_over_2 : ostrell_neg(pi_over_2);
    if (fabs(hi) > 1.0) {
        one = ostrell_from_double(1.0);
        abs_x = hi > 0.0 ? x : ostrell_neg(x);
        inv_x = ostrell_div(one, abs_x);
        atan_inv = _ostrell_atan_near_zero(inv_x);
        res = ostrell_sub(pi_over_2, atan_inv);
        return hi > 0.0 ? res : ostrell_neg(res);
    }
    return _ostrell_atan_near_zero(x);
}

/* Outside [-1, 1] (the low part deciding at ±1), NaN or infinite. */
static inline int _ostrell_outside_unit(double hi, double lo)
{
    return hi != hi || _ostrell_isinf_d(hi) || hi > 1.0 || hi < -1.0
        || (hi == 1.0 && lo > 0.0) || (hi == -1.0 && lo < 0.0);
}

/* arcsin x = arctan(x / sqrt(1 - x²)), exact at ±1. */
static inline ostrell_t ostrell_asin(ostrell_t x)
{
    double hi, lo;
    ostrell_t pi = _ostrell_from_raw(_ostrell_pi_raw);
    ostrell_t one, denom;
    ostrell_extract(x, &hi, &lo);
    if (_ostrell_outside_unit(hi, lo))
        return ostrell_from_double(_ostrell_nan());
    if (hi == 1.0 && lo == 0.0)
        return ostrell_mul(pi, ostrell_from_double(0.5));
    if (hi == -1.0 && lo == 0.0)
        return ostrell_mul(pi, ostrell_from_double(-0.5));
    one = ostrell_from_double(1.0);
    denom = ostrell_sqrt(ostrell_sub(one, ostrell_mul(x, x)));
    return ostrell_atan(ostrell_div(x, denom));
}

/* arccos x = arctan(sqrt(1 - x²) / x) for x > 0, π - arctan(sqrt(1 - x²) / -x)
 * for x < 0; exact at 1, -1 and 0. */
static inline ostrell_t ostrell_acos(ostrell_t x)
{
    double hi, lo;
    ostrell_t pi = _ostrell_from_raw(_ostrell_pi_raw);
    ostrell_t one, num, neg_x;
    ostrell_extract(x, &hi, &lo);
    if (_ostrell_outside_unit(hi, lo))
        return ostrell_from_double(_ostrell_nan());
    if (hi == 1.0 && lo == 0.0)
        return ostrell_from_double(0.0);
    if (hi == -1.0 && lo == 0.0)
        return pi;
    if (hi == 0.0 && lo == 0.0)
        return ostrell_mul(pi, ostrell_from_double(0.5));
    one = ostrell_from_double(1.0);
    num = ostrell_sqrt(ostrell_sub(one, ostrell_mul(x, x)));
    if (hi > 0.0 || (hi == 0.0 && lo > 0.0))
        return ostrell_atan(ostrell_div(num, x));
    neg_x = ostrell_neg(x);
    return ostrell_sub(pi, ostrell_atan(ostrell_div(num, neg_x)));
}

/* The angle of the point (x, y) in [-π, π].  Signed zeros are decided by the
 * sign bits of the high parts; infinities go through the quotient y/x. */
static inline ostrell_t ostrell_atan2(ostrell_t y, ostrell_t x)
{
    double yhi, ylo, xhi, xlo;
    ostrell_t pi = _ostrell_from_raw(_ostrell_pi_raw);
    ostrell_extract(y, &yhi, &ylo);
    ostrell_extract(x, &xhi, &xlo);
    if (yhi != yhi || xhi != xhi)
        return ostrell_from_double(_ostrell_nan());
    if (yhi == 0.0 && ylo == 0.0 && xhi == 0.0 && xlo == 0.0) {
        if (signbit(xhi))
            return signbit(yhi) ? ostrell_neg(pi) : pi;
        return ostrell_from_double(signbit(yhi) ? -0.0 : 0.0);
    }
    if (xhi > 0.0)
        return ostrell_atan(ostrell_div(y, x));
    if (xhi < 0.0) {
        if (yhi >= 0.0)
            return ostrell_add(ostrell_atan(ostrell_div(y, x)), pi);
        return ostrell_sub(ostrell_atan(ostrell_div(y, x)), pi);
    }
    if (yhi > 0.0)
        return ostrell_mul(pi, ostrell_from_double(0.5));
    return ostrell_mul(pi, ostrell_from_double(-0.5));
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_MATH_H */
