/* ostrell.h: the double-double value type and its kernel operations.
 *
 * A value is the unevaluated sum hi + lo of two binary64 numbers held in one
 * SSE2 vector (lane 0 = hi, lane 1 = lo).  Every binary64 operation below is
 * meant to be evaluated exactly as written: round to nearest, one rounding
 * per operation, no fused multiply-add, no reassociation.  Build with
 * -ffp-contract=off for the x86-64 baseline; the error-free transformations
 * are wrong otherwise.
 *
 * Compiles as C11 and as C++17.
 */
#ifndef OSTRELL_H
#define OSTRELL_H

#include <emmintrin.h>
#include <math.h>

#if defined(__FAST_MATH__)
#error "ostrell needs IEEE binary64 semantics: do not build with -ffast-math or -Ofast"
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef __m128d ostrell_t;

/* Largest finite binary64, 0x7FEFFFFFFFFFFFFF. */
#define OSTRELL_DBL_MAX 0x1.fffffffffffffp+1023

/* Internal: |t| > DBL_MAX; false for NaN. */
static inline int _ostrell_isinf_d(double t) { return fabs(t) > OSTRELL_DBL_MAX; }

/* Internal: the quiet NaN 0x7FF8000000000000 produced by the library. */
static inline double _ostrell_nan(void) { return __builtin_nan(""); }

static inline ostrell_t ostrell_from_double(double d) { return _mm_set_pd(0.0, d); }

/* Lane 0 = hi, lane 1 = lo, taken unchanged (no renormalisation). */
static inline ostrell_t ostrell_from_hi_lo(double hi, double lo) { return _mm_set_pd(lo, hi); }

static inline void ostrell_extract(ostrell_t x, double* hi, double* lo)
{
    *hi = _mm_cvtsd_f64(x);
    *lo = _mm_cvtsd_f64(_mm_unpackhi_pd(x, x));
}

/* Flips the sign bit of both lanes in one exclusive-or: neg(+0, +0) = (-0, -0). */
static inline ostrell_t ostrell_neg(ostrell_t x) { return _mm_xor_pd(x, _mm_set1_pd(-0.0)); }

/* Dekker's product error with Veltkamp splitting, the steps as written. */
static inline double _ostrell_exact_mul_err_steps(double a, double b, double p)
{
    double t, a_h, a_l, b_h, b_l;
    if (fabs(a) > 6.7e299 && fabs(b) < 1.0) {
        a = a * 0x1p-28;
        b = b * 0x1p+28;
    } else if (fabs(b) > 6.7e299 && fabs(a) < 1.0) {
        b = b * 0x1p-28;
        a = a * 0x1p+28;
    }
    t = a * 134217729.0; /* 2^27 + 1 */
    a_h = t - (t - a);
    a_l = a - a_h;
    t = b * 134217729.0;
    b_h = t - (t - b);
    b_l = b - b_h;
    return (((a_h * b_h - p) + a_h * b_l) + a_l * b_h) + a_l * b_l;
}

/* The exact rounding error a*b - p of p = fl(a*b).
 * When a, b and p are finite but the split of a factor above ~1.34e300
 * (or a_h*b_h) overflows, the large factor and p are scaled by 2^-28, the
 * steps rerun, and the error scaled back by 2^28: all exact, so the error
 * stays the exact one instead of NaN. */
static inline double ostrell_exact_mul_err(double a, double b, double p)
{
    double err = _ostrell_exact_mul_err_steps(a, b, p);
    if (fabs(err) <= OSTRELL_DBL_MAX
        || !(fabs(a) <= OSTRELL_DBL_MAX && fabs(b) <= OSTRELL_DBL_MAX && fabs(p) <= OSTRELL_DBL_MAX))
        return err;
    if (fabs(a) >= fabs(b))
        err = _ostrell_exact_mul_err_steps(a * 0x1p-28, b, p * 0x1p-28);
    else
        err = _ostrell_exact_mul_err_steps(a, b * 0x1p-28, p * 0x1p-28);
    return err * 0x1p+28;
}

static inline ostrell_t ostrell_add(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, s, bb, err, hi, lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    s = a_hi + b_hi;
    if (_ostrell_isinf_d(s))
        return ostrell_from_double(s);
    bb = s - a_hi;
    err = (a_hi - (s - bb)) + (b_hi - bb);
    err = err + (a_lo + b_lo);
    hi = s + err;
    lo = err - (hi - s);
    return ostrell_from_hi_lo(hi, lo);
}

static inline ostrell_t ostrell_sub(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, s, bb, err, hi, lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    s = a_hi - b_hi;
    if (_ostrell_isinf_d(s))
        return ostrell_from_double(s);
    bb = s - a_hi;
    err = (a_hi - (s - bb)) - (b_hi + bb);
    err = err + (a_lo - b_lo);
    hi = s + err;
    lo = err - (hi - s);
    return ostrell_from_hi_lo(hi, lo);
}

static inline ostrell_t ostrell_mul(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, p, err, hi, lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    p = a_hi * b_hi;
    if (_ostrell_isinf_d(p))
        return ostrell_from_double(p);
    err = ostrell_exact_mul_err(a_hi, b_hi, p);
    err = err + (a_hi * b_lo + a_lo * b_hi);
    hi = p + err;
    lo = err - (hi - p);
    return ostrell_from_hi_lo(hi, lo);
}

static inline ostrell_t ostrell_div(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, q1, p_hi, p_lo, s, bb, e, r_hi, r_lo, q2, hi, lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    if (b_hi == 0.0 && b_lo == 0.0) {
        if (a_hi == 0.0 && a_lo == 0.0)
            return ostrell_from_double(_ostrell_nan());
        return ostrell_from_double(a_hi / b_hi);
    }
    if (_ostrell_isinf_d(b_hi)) {
        if (_ostrell_isinf_d(a_hi) || a_hi != a_hi)
            return ostrell_from_double(_ostrell_nan());
        return ostrell_from_double(!signbit(a_hi) != !signbit(b_hi) ? -0.0 : 0.0);
    }
    q1 = a_hi / b_hi;
    /* Quotient overflow, or an infinite dividend over a finite divisor:
     * the signed infinity, as add, sub and mul give on overflow. */
    if (_ostrell_isinf_d(q1))
        return ostrell_from_double(q1);
    p_hi = b_hi * q1;
    p_lo = ostrell_exact_mul_err(q1, b_hi, p_hi) + q1 * b_lo;
    s = a_hi - p_hi;
    bb = s - a_hi;
    e = (a_hi - (s - bb)) + (-p_hi - bb);
    e = (a_lo - p_lo) + e;
    r_hi = s + e;
    r_lo = e - (r_hi - s);
    q2 = r_hi / b_hi;
    hi = q1 + q2;
    lo = (q2 - (hi - q1)) + r_lo / b_hi;
    return ostrell_from_hi_lo(hi, lo);
}

/* Square root: one Newton step on the reciprocal square root seed 1/sqrt(hi). */
static inline ostrell_t ostrell_sqrt(ostrell_t x)
{
    double hi, lo, r, y, y_lo, y2, y2_lo, d, cr, t, res_hi, res_lo;
    ostrell_extract(x, &hi, &lo);
    if (hi < 0.0 || (hi == 0.0 && lo < 0.0))
        return ostrell_from_double(_ostrell_nan());
    if (hi == 0.0)
        return x;
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi); /* +inf: the steps below would give NaN */
    r = 1.0 / sqrt(hi);
    y = hi * r;
    y_lo = ostrell_exact_mul_err(hi, r, y) + lo * r;
    y2 = y * y;
    if (_ostrell_isinf_d(y2)) {
        /* Just below DBL_MAX the square of the first root can round up to
         * infinity (and the steps give NaN): take the root of x/4 (exact
         * scaling) and double it (exact). */
        ostrell_t q = ostrell_sqrt(ostrell_from_hi_lo(hi * 0.25, lo * 0.25));
        return _mm_mul_pd(q, _mm_set1_pd(2.0));
    }
    y2_lo = ostrell_exact_mul_err(y, y, y2) + (2.0 * y) * y_lo;
    d = ((hi - y2) - y2_lo) + lo;
    cr = (d * 0.5) * r;
    t = y_lo + cr;
    res_hi = y + t;
    res_lo = t - (res_hi - y);
    return ostrell_from_hi_lo(res_hi, res_lo);
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_H */
