/* ostrell.h: the double-double value type and its kernel operations.
 *
 * A value is the unevaluated sum hi + lo of two binary64 numbers held in one
 * SSE2 vector (lane 0 = hi, lane 1 = lo).  Every binary64 operation below is
 * meant to be evaluated exactly as written: round to nearest, one rounding
 * per operation, no fused multiply-add, no reassociation.  Every product
 * that feeds an addition or subtraction is formed by _ostrell_mul_rounded,
 * which keeps it a rounded product whatever the includer's -ffp-contract
 * and -march, so the bits do not depend on those flags.  -ffast-math (and
 * its parts that drop IEEE semantics) stays unsafe.
 *
 * Compiles as C11 and as C++17.
 */
#ifndef OSTRELL_H
#define OSTRELL_H

#include <emmintrin.h>
#include <math.h>

/* Refused: the optimisations a compiler announces that change binary64
 * results.  Reassociation (__ASSOCIATIVE_MATH__, gcc) turns the error terms
 * of the two-sums into zero, and so every low part; reciprocals
 * (__RECIPROCAL_MATH__) and signed-zero folding (__NO_SIGNED_ZEROS__) change
 * quotients and zero signs; finite-math-only lets the NaN and infinity tests
 * be folded away.  gcc sets all of them with -funsafe-math-optimizations or
 * -ffast-math; clang announces only __FAST_MATH__ and __FINITE_MATH_ONLY__. */
#if defined(__FAST_MATH__)
#error "ostrell needs IEEE binary64 semantics: do not build with -ffast-math or -Ofast"
#endif
#if defined(__ASSOCIATIVE_MATH__) || defined(__RECIPROCAL_MATH__) || defined(__NO_SIGNED_ZEROS__)
#error "ostrell needs IEEE binary64 semantics: do not build with -funsafe-math-optimizations, -fassociative-math, -freciprocal-math or -fno-signed-zeros"
#endif
#if defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__
#error "ostrell needs IEEE binary64 semantics: do not build with -ffinite-math-only"
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

/* v unchanged, but opaque to the optimiser: the empty asm claims to rewrite
 * v in its SSE register, so no instruction is emitted and nothing computed
 * before it can be merged with what uses it after. */
static inline double _ostrell_opaque(double v)
{
    __asm__("" : "+x"(v));
    return v;
}

/* fl(a*b), the rounded product, never fused with the addition or
 * subtraction it feeds into a multiply-add (under -ffp-contract=fast or on,
 * with FMA in -march): every such product in the headers is formed here. */
static inline double _ostrell_mul_rounded(double a, double b) { return _ostrell_opaque(a * b); }

/* Flips the sign bit of both lanes in one exclusive-or: neg(+0, +0) = (-0, -0). */
static inline ostrell_t ostrell_neg(ostrell_t x) { return _mm_xor_pd(x, _mm_set1_pd(-0.0)); }

/* Dekker's product error with Veltkamp splitting, the steps as written. */
static inline double _ostrell_exact_mul_err_steps(double a, double b, double p)
{
    double t, a_h, a_l, b_h, b_l;
    if (fabs(a) > 6.7e299 && fabs(b) < 1.0) {
        a = _ostrell_mul_rounded(a, 0x1p-28);
        b = _ostrell_mul_rounded(b, 0x1p+28);
    } else if (fabs(b) > 6.7e299 && fabs(a) < 1.0) {
        b = _ostrell_mul_rounded(b, 0x1p-28);
        a = _ostrell_mul_rounded(a, 0x1p+28);
    }
    t = _ostrell_mul_rounded(a, 134217729.0); /* 2^27 + 1 */
    a_h = t - (t - a);
    a_l = a - a_h;
    t = _ostrell_mul_rounded(b, 134217729.0);
    b_h = t - (t - b);
    b_l = b - b_h;
    return (((_ostrell_mul_rounded(a_h, b_h) - p) + _ostrell_mul_rounded(a_h, b_l))
            + _ostrell_mul_rounded(a_l, b_h)) + _ostrell_mul_rounded(a_l, b_l);
}

/* The product error for finite a, b, p whose steps overflowed: the split of
 * a factor above ~1.34e300 (or a_h*b_h) passed the largest binary64.  The
 * larger factor and p are scaled by 2^-28, the steps rerun, and the error
 * scaled back by 2^28: all exact, so the error stays the exact one instead
 * of NaN.  Any of a, b, p not finite: err, the steps' result, is kept.
 * Out of line, off the path of ordinary products. */
static __attribute__((noinline, cold, unused)) double _ostrell_exact_mul_err_rescaled(double a, double b,
                                                                                    double p, double err)
{
    if (!(fabs(a) <= OSTRELL_DBL_MAX && fabs(b) <= OSTRELL_DBL_MAX && fabs(p) <= OSTRELL_DBL_MAX))
        return err;
    if (fabs(a) >= fabs(b))
        err = _ostrell_exact_mul_err_steps(_ostrell_mul_rounded(a, 0x1p-28), b,
                                           _ostrell_mul_rounded(p, 0x1p-28));
    else
        err = _ostrell_exact_mul_err_steps(a, _ostrell_mul_rounded(b, 0x1p-28),
                                           _ostrell_mul_rounded(p, 0x1p-28));
    return _ostrell_mul_rounded(err, 0x1p+28);
}

/* The exact rounding error a*b - p of p = fl(a*b); a non-finite result of
 * the steps goes to the rescaled rerun above. */
static inline double ostrell_exact_mul_err(double a, double b, double p)
{
    double err = _ostrell_exact_mul_err_steps(a, b, p);
    if (fabs(err) <= OSTRELL_DBL_MAX)
        return err;
    return _ostrell_exact_mul_err_rescaled(a, b, p, err);
}

/* add, sub and mul: a result whose high part overflows (the first sum or
 * product, or the final renormalisation) is (±inf, +0); the renormalisation
 * would otherwise leave lo = err - (inf - s), i.e. -inf or NaN, a pair whose
 * value is NaN. */
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
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi);
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
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi);
    lo = err - (hi - s);
    return ostrell_from_hi_lo(hi, lo);
}

static inline ostrell_t ostrell_mul(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, p, err, hi, lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    p = _ostrell_mul_rounded(a_hi, b_hi);
    if (_ostrell_isinf_d(p))
        return ostrell_from_double(p);
    err = ostrell_exact_mul_err(a_hi, b_hi, p);
    err = err + (_ostrell_mul_rounded(a_hi, b_lo) + _ostrell_mul_rounded(a_lo, b_hi));
    hi = p + err;
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi);
    lo = err - (hi - p);
    return ostrell_from_hi_lo(hi, lo);
}

/* x - x is +0 in a finite lane and NaN in an infinite or NaN one:
 * 1 when both parts of x are finite. */
static inline int _ostrell_isfinite_pair(ostrell_t x)
{
    __m128d d = _mm_sub_pd(x, x);
    return _mm_movemask_pd(_mm_cmpunord_pd(d, d)) == 0;
}

/* The division steps after the binary64 quotient q1 = fl(a_hi / b_hi). */
static inline ostrell_t _ostrell_div_steps(double a_hi, double a_lo, double b_hi, double b_lo, double q1)
{
    double p_hi, p_lo, s, bb, e, r_hi, r_lo, q2, hi, lo;
    p_hi = _ostrell_mul_rounded(b_hi, q1);
    p_lo = ostrell_exact_mul_err(q1, b_hi, p_hi) + _ostrell_mul_rounded(q1, b_lo);
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

/* Division whose steps gave a non-finite part.  For finite normalised
 * operands that is an overflow inside the steps: b_hi * q1 or q1 + q2
 * rounds past the largest binary64 although q1 is finite.  The steps are
 * rerun on the dividend halved and the result doubled, both exact: such a
 * dividend is above 2^-52 (its quotient nears 2^1024 and |b_hi| >= 2^-1074),
 * so its high part halves exactly; a subnormal low part may lose its last
 * bit, below 2^-1000 of the quotient.  A quotient that overflows once
 * doubled gives (±inf, +0), as add and mul do.  Any operand part infinite
 * or NaN: the steps' result is kept.  Out of line, off the path of ordinary
 * divisions. */
static __attribute__((noinline, cold, unused)) ostrell_t _ostrell_div_rescue(ostrell_t a, ostrell_t b,
                                                                            ostrell_t steps)
{
    double a_hi, a_lo, b_hi, b_lo, q1, hi, lo;
    ostrell_t half;
    if (!_ostrell_isfinite_pair(a) || !_ostrell_isfinite_pair(b))
        return steps;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    a_hi = _ostrell_mul_rounded(a_hi, 0.5);
    a_lo = _ostrell_mul_rounded(a_lo, 0.5);
    q1 = a_hi / b_hi;
    half = _ostrell_div_steps(a_hi, a_lo, b_hi, b_lo, q1);
    ostrell_extract(half, &hi, &lo);
    hi = hi * 2.0;
    if (_ostrell_isinf_d(hi))
        return ostrell_from_double(hi);
    lo = lo * 2.0;
    return ostrell_from_hi_lo(hi, lo);
}

static inline ostrell_t ostrell_div(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo, q1;
    ostrell_t q;
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
    q = _ostrell_div_steps(a_hi, a_lo, b_hi, b_lo, q1);
    if (!_ostrell_isfinite_pair(q))
        return _ostrell_div_rescue(a, b, q);
    return q;
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
    y = _ostrell_mul_rounded(hi, r);
    y_lo = ostrell_exact_mul_err(hi, r, y) + _ostrell_mul_rounded(lo, r);
    y2 = _ostrell_mul_rounded(y, y);
    if (_ostrell_isinf_d(y2)) {
        /* Just below DBL_MAX the square of the first root can round up to
         * infinity (and the steps give NaN): take the root of x/4 (exact
         * scaling) and double it (exact). */
        ostrell_t q = ostrell_sqrt(ostrell_from_hi_lo(hi * 0.25, lo * 0.25));
        return _mm_mul_pd(q, _mm_set1_pd(2.0));
    }
    y2_lo = ostrell_exact_mul_err(y, y, y2) + _ostrell_mul_rounded(2.0 * y, y_lo);
    d = ((hi - y2) - y2_lo) + lo;
    cr = _ostrell_mul_rounded(d * 0.5, r);
    t = y_lo + cr;
    res_hi = y + t;
    res_lo = t - (res_hi - y);
    return ostrell_from_hi_lo(res_hi, res_lo);
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_H */
