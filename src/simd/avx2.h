/* simd/avx2.h: the vector primitives of simd/simd.h for AVX2, four
 * rows per vector.  A mask is a vector of all-ones / all-zeros lanes. */
#ifndef OSTRELL_SIMD_AVX2_H
#define OSTRELL_SIMD_AVX2_H

#include "simd/simd.h"

#define _OSTRELL_AVX2 __attribute__((target("avx2")))
#define _OSTRELL_AVX2_INLINE static inline _OSTRELL_AVX2 _OSTRELL_ALWAYS_INLINE

typedef __m256d _ostrell_avx2_d;
typedef __m256d _ostrell_avx2_m;
typedef struct { __m256d hi, lo; } _ostrell_avx2_dd;

/* Rows 0, 1 in x, 2, 3 in y: the in-lane unpacks give lanes in row order
 * 0,2,1,3, and the same unpacks on store put the rows back. */
_OSTRELL_AVX2_INLINE _ostrell_avx2_dd _ostrell_avx2_load_rows(const double* p)
{
    __m256d x = _mm256_loadu_pd(p), y = _mm256_loadu_pd(p + 4);
    _ostrell_avx2_dd r;
    r.hi = _mm256_unpacklo_pd(x, y);
    r.lo = _mm256_unpackhi_pd(x, y);
    return r;
}
_OSTRELL_AVX2_INLINE void _ostrell_avx2_store_rows(double* p, _ostrell_avx2_dd r)
{
    _mm256_storeu_pd(p, _mm256_unpacklo_pd(r.hi, r.lo));
    _mm256_storeu_pd(p + 4, _mm256_unpackhi_pd(r.hi, r.lo));
}
_OSTRELL_AVX2_INLINE void _ostrell_avx2_store_rows_aligned(double* p, _ostrell_avx2_dd r)
{
    _mm256_store_pd(p, _mm256_unpacklo_pd(r.hi, r.lo));
    _mm256_store_pd(p + 4, _mm256_unpackhi_pd(r.hi, r.lo));
}
_OSTRELL_AVX2_INLINE void _ostrell_avx2_stream_rows(double* p, _ostrell_avx2_dd r)
{
    _mm256_stream_pd(p, _mm256_unpacklo_pd(r.hi, r.lo));
    _mm256_stream_pd(p + 4, _mm256_unpackhi_pd(r.hi, r.lo));
}

_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_set1(double v) { return _mm256_set1_pd(v); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_zero(void) { return _mm256_setzero_pd(); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_div(__m256d a, __m256d b) { return _mm256_div_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_sqrt(__m256d a) { return _mm256_sqrt_pd(a); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_abs(__m256d a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_neg(__m256d a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_min(__m256d a, __m256d b) { return _mm256_min_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_max(__m256d a, __m256d b) { return _mm256_max_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_opaque(__m256d a)
{
    _OSTRELL_SIMD_OPAQUE(a);
    return a;
}

_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_lt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_le(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_gt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_ge(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_eq(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_nle(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_ne(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_ord(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_ORD_Q); }

_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_mzero(void) { return _mm256_setzero_pd(); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_mor(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_mand(__m256d a, __m256d b) { return _mm256_and_pd(a, b); }
_OSTRELL_AVX2_INLINE int _ostrell_avx2_many(__m256d m) { return _mm256_movemask_pd(m) != 0; }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_blend(__m256d m, __m256d a, __m256d b)
{
    return _mm256_blendv_pd(a, b, m);
}

#endif /* OSTRELL_SIMD_AVX2_H */
