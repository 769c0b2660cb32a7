/* ostrell_utils.h: comparison, classification and absolute value.
 * Special cases are decided on the high part; predicates return 0 or 1. */
#ifndef OSTRELL_UTILS_H
#define OSTRELL_UTILS_H

#include "ostrell.h"

#ifdef __cplusplus
extern "C" {
#endif

static inline int ostrell_isnan(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return hi != hi;
}

static inline int ostrell_isinf(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return _ostrell_isinf_d(hi);
}

/* Lexicographic three-way comparison on (hi, lo).  A NaN in any part gives
 * -1; callers test the high parts for NaN first. */
static inline int ostrell_cmp(ostrell_t a, ostrell_t b)
{
    double a_hi, a_lo, b_hi, b_lo;
    ostrell_extract(a, &a_hi, &a_lo);
    ostrell_extract(b, &b_hi, &b_lo);
    if (a_lo != a_lo || b_lo != b_lo || a_hi != a_hi || b_hi != b_hi)
        return -1;
    if (a_hi < b_hi) return -1;
    if (a_hi > b_hi) return 1;
    if (a_lo < b_lo) return -1;
    if (a_lo > b_lo) return 1;
    return 0;
}

static inline int ostrell_eq(ostrell_t a, ostrell_t b)
{
    return !ostrell_isnan(a) && !ostrell_isnan(b) && ostrell_cmp(a, b) == 0;
}

static inline int ostrell_gt(ostrell_t a, ostrell_t b)
{
    return !ostrell_isnan(a) && !ostrell_isnan(b) && ostrell_cmp(a, b) > 0;
}

static inline int ostrell_lt(ostrell_t a, ostrell_t b)
{
    return !ostrell_isnan(a) && !ostrell_isnan(b) && ostrell_cmp(a, b) < 0;
}

static inline int ostrell_ge(ostrell_t a, ostrell_t b)
{
    return !ostrell_isnan(a) && !ostrell_isnan(b) && ostrell_cmp(a, b) >= 0;
}

static inline int ostrell_le(ostrell_t a, ostrell_t b)
{
    return !ostrell_isnan(a) && !ostrell_isnan(b) && ostrell_cmp(a, b) <= 0;
}

/* |x|: a zero high part becomes +0 with a non-negative low part; a NaN high
 * part returns x unchanged, so the result is still NaN. */
static inline ostrell_t ostrell_abs(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    if (hi > 0.0) return x;
    if (hi < 0.0) return ostrell_neg(x);
    if (hi != hi) return x;
    return ostrell_from_hi_lo(0.0, fabs(lo));
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_UTILS_H */
