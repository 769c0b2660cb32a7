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

/* ======== exponential, logarithm, power ================================= */

/* ======== hyperbolic functions ========================================== */

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
    } else {
        k_lo = round(x_scaled_lo);
        k = (int64_t)x_scaled_hi + (int64_t)k_lo;
        r = ostrell_sub(x, ostrell_mul(ostrell_from_hi_lo(x_scaled_hi, k_lo), pi_over_2));
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
