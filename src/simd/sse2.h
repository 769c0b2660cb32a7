/* simd/sse2.h: the vector primitives of simd/simd.h for the x86-64
 * baseline (SSE2), two rows per vector.  A mask is a vector of all-ones /
 * all-zeros lanes. */
#ifndef OSTRELL_SIMD_SSE2_H
#define OSTRELL_SIMD_SSE2_H

#include "simd/simd.h"

#define _OSTRELL_SSE2_INLINE static inline _OSTRELL_ALWAYS_INLINE

typedef __m128d _ostrell_sse2_d;
typedef __m128d _ostrell_sse2_m;
typedef struct { __m128d hi, lo; } _ostrell_sse2_dd;

/* Row 0 in x, row 1 in y: lanes in row order. */
_OSTRELL_SSE2_INLINE _ostrell_sse2_dd _ostrell_sse2_load_rows(const double* p)
{
    __m128d x = _mm_loadu_pd(p), y = _mm_loadu_pd(p + 2);
    _ostrell_sse2_dd r;
    r.hi = _mm_unpacklo_pd(x, y);
    r.lo = _mm_unpackhi_pd(x, y);
    return r;
}
_OSTRELL_SSE2_INLINE void _ostrell_sse2_store_rows(double* p, _ostrell_sse2_dd r)
{
    _mm_storeu_pd(p, _mm_unpacklo_pd(r.hi, r.lo));
    _mm_storeu_pd(p + 2, _mm_unpackhi_pd(r.hi, r.lo));
}
_OSTRELL_SSE2_INLINE void _ostrell_sse2_store_rows_aligned(double* p, _ostrell_sse2_dd r)
{
    _mm_store_pd(p, _mm_unpacklo_pd(r.hi, r.lo));
    _mm_store_pd(p + 2, _mm_unpackhi_pd(r.hi, r.lo));
}
_OSTRELL_SSE2_INLINE void _ostrell_sse2_stream_rows(double* p, _ostrell_sse2_dd r)
{
    _mm_stream_pd(p, _mm_unpacklo_pd(r.hi, r.lo));
    _mm_stream_pd(p + 2, _mm_unpackhi_pd(r.hi, r.lo));
}

_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_set1(double v) { return _mm_set1_pd(v); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_zero(void) { return _mm_setzero_pd(); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_add(__m128d a, __m128d b) { return _mm_add_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_sub(__m128d a, __m128d b) { return _mm_sub_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_mul(__m128d a, __m128d b) { return _mm_mul_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_div(__m128d a, __m128d b) { return _mm_div_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_sqrt(__m128d a) { return _mm_sqrt_pd(a); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_abs(__m128d a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_neg(__m128d a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_min(__m128d a, __m128d b) { return _mm_min_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_max(__m128d a, __m128d b) { return _mm_max_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_opaque(__m128d a)
{
    _OSTRELL_SIMD_OPAQUE(a);
    return a;
}

_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_lt(__m128d a, __m128d b) { return _mm_cmplt_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_le(__m128d a, __m128d b) { return _mm_cmple_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_gt(__m128d a, __m128d b) { return _mm_cmpgt_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_ge(__m128d a, __m128d b) { return _mm_cmpge_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_eq(__m128d a, __m128d b) { return _mm_cmpeq_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_nle(__m128d a, __m128d b) { return _mm_cmpnle_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_ne(__m128d a, __m128d b) { return _mm_cmpneq_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_ord(__m128d a, __m128d b) { return _mm_cmpord_pd(a, b); }

_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_mzero(void) { return _mm_setzero_pd(); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_mor(__m128d a, __m128d b) { return _mm_or_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_mand(__m128d a, __m128d b) { return _mm_and_pd(a, b); }
_OSTRELL_SSE2_INLINE int _ostrell_sse2_many(__m128d m) { return _mm_movemask_pd(m) != 0; }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_blend(__m128d m, __m128d a, __m128d b)
{
    return _mm_or_pd(_mm_and_pd(m, b), _mm_andnot_pd(m, a));
}

#endif /* OSTRELL_SIMD_SSE2_H */
