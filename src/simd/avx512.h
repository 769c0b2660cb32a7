/* simd/avx512.h: the vector primitives of simd/simd.h for AVX-512F,
 * eight rows per vector.  Only AVX-512F instructions (no DQ/VL): bitwise
 * operations on doubles go through the 64-bit integer forms. */
#ifndef OSTRELL_SIMD_AVX512_H
#define OSTRELL_SIMD_AVX512_H

#include "simd/simd.h"

#define _OSTRELL_AVX512 __attribute__((target("avx512f")))
#define _OSTRELL_AVX512_INLINE static inline _OSTRELL_AVX512 _OSTRELL_ALWAYS_INLINE

typedef __m512d _ostrell_avx512_d;
typedef __mmask8 _ostrell_avx512_m;
typedef struct { __m512d hi, lo; } _ostrell_avx512_dd;

/* Unpacks, min, max and sqrt are used in their masked form with every lane
 * taken: the same instruction, without the undefined pass-through operand of
 * the plain form (GCC 12 warns about it as maybe uninitialised). */
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_unpacklo(__m512d x, __m512d y)
{
    return _mm512_mask_unpacklo_pd(x, (__mmask8)0xFF, x, y);
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_unpackhi(__m512d x, __m512d y)
{
    return _mm512_mask_unpackhi_pd(x, (__mmask8)0xFF, x, y);
}

/* Rows 0..3 in x, 4..7 in y: the in-lane unpacks give lanes in row order
 * 0,4,1,5,2,6,3,7, and the same unpacks on store put the rows back. */
_OSTRELL_AVX512_INLINE _ostrell_avx512_dd _ostrell_avx512_load_rows(const double* p)
{
    __m512d x = _mm512_loadu_pd(p), y = _mm512_loadu_pd(p + 8);
    _ostrell_avx512_dd r;
    r.hi = _ostrell_avx512_unpacklo(x, y);
    r.lo = _ostrell_avx512_unpackhi(x, y);
    return r;
}
_OSTRELL_AVX512_INLINE void _ostrell_avx512_store_rows(double* p, _ostrell_avx512_dd r)
{
    _mm512_storeu_pd(p, _ostrell_avx512_unpacklo(r.hi, r.lo));
    _mm512_storeu_pd(p + 8, _ostrell_avx512_unpackhi(r.hi, r.lo));
}
_OSTRELL_AVX512_INLINE void _ostrell_avx512_store_rows_aligned(double* p, _ostrell_avx512_dd r)
{
    _mm512_store_pd(p, _ostrell_avx512_unpacklo(r.hi, r.lo));
    _mm512_store_pd(p + 8, _ostrell_avx512_unpackhi(r.hi, r.lo));
}
_OSTRELL_AVX512_INLINE void _ostrell_avx512_stream_rows(double* p, _ostrell_avx512_dd r)
{
    _mm512_stream_pd(p, _ostrell_avx512_unpacklo(r.hi, r.lo));
    _mm512_stream_pd(p + 8, _ostrell_avx512_unpackhi(r.hi, r.lo));
}

_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_set1(double v) { return _mm512_set1_pd(v); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_zero(void) { return _mm512_setzero_pd(); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_add(__m512d a, __m512d b) { return _mm512_add_pd(a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_sub(__m512d a, __m512d b) { return _mm512_sub_pd(a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_mul(__m512d a, __m512d b) { return _mm512_mul_pd(a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_div(__m512d a, __m512d b) { return _mm512_div_pd(a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_sqrt(__m512d a) { return _mm512_mask_sqrt_pd(a, (__mmask8)0xFF, a); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_abs(__m512d a)
{
    return _mm512_castsi512_pd(
        _mm512_and_epi64(_mm512_castpd_si512(a), _mm512_set1_epi64(0x7FFFFFFFFFFFFFFF)));
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_neg(__m512d a)
{
    return _mm512_castsi512_pd(
        _mm512_xor_epi64(_mm512_castpd_si512(a), _mm512_set1_epi64((long long)0x8000000000000000ULL)));
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_min(__m512d a, __m512d b) { return _mm512_mask_min_pd(a, (__mmask8)0xFF, a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_max(__m512d a, __m512d b) { return _mm512_mask_max_pd(a, (__mmask8)0xFF, a, b); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_opaque(__m512d a)
{
    _OSTRELL_SIMD_OPAQUE(a);
    return a;
}

_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_lt(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_le(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_gt(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_ge(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_eq(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_nle(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_ne(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_ord(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_ORD_Q); }

_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_mzero(void) { return 0; }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_mor(__mmask8 a, __mmask8 b) { return (__mmask8)(a | b); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_mand(__mmask8 a, __mmask8 b) { return (__mmask8)(a & b); }
_OSTRELL_AVX512_INLINE int _ostrell_avx512_many(__mmask8 m) { return m != 0; }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_blend(__mmask8 m, __m512d a, __m512d b)
{
    return _mm512_mask_blend_pd(m, a, b);
}

#endif /* OSTRELL_SIMD_AVX512_H */
