/* ostrell_batch_vec.h: the vector operations the batch functions are written
 * against, once per instruction set: AVX-512F (8 lanes, suffix avx512) and
 * AVX2 (4 lanes, suffix avx2).
 *
 * A vector holds one binary64 number of each of N rows; a mask marks lanes.
 * Every function carries the target attribute of its instruction set, so the
 * includer stays on the x86-64 baseline.  Products pass through an empty asm
 * statement, which hides them from the optimiser: no product can be fused
 * with the addition it feeds, whatever the includer's -ffp-contract or -march.
 *
 * Each set of names is _ostrell_NAME_SUFFIX; ostrell_batch_generic.h reaches
 * them as _OV(NAME) for the suffix being instantiated.
 */
#ifndef OSTRELL_BATCH_VEC_H
#define OSTRELL_BATCH_VEC_H

/* GCC 12 warns of the deliberately undefined source operands inside its
 * AVX-512 intrinsics when they are inlined (GCC bug 105593). */
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#include <stdint.h>

#define _OSTRELL_AVX512 __attribute__((target("avx512f")))
#define _OSTRELL_AVX2 __attribute__((target("avx2")))

/* ======== AVX-512F: 8 lanes, masks in k registers ======================== */

typedef __m512d _ostrell_v_avx512;
typedef __mmask8 _ostrell_m_avx512;
enum { _ostrell_lanes_avx512 = 8 };

#define _OSTRELL_DEF(ret, name) static inline _OSTRELL_AVX512 ret _ostrell_##name##_avx512
#define _OSTRELL_VT __m512d
#define _OSTRELL_MT __mmask8
_OSTRELL_DEF(_OSTRELL_VT, set1)(double d) { return _mm512_set1_pd(d); }
_OSTRELL_DEF(_OSTRELL_VT, add)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_add_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, sub)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_sub_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, mul)(_OSTRELL_VT a, _OSTRELL_VT b)
{
    _OSTRELL_VT p = _mm512_mul_pd(a, b);
    __asm__("" : "+v"(p)); /* opaque: never fused into an add */
    return p;
}
_OSTRELL_DEF(_OSTRELL_VT, div)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_div_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, sqrt)(_OSTRELL_VT a) { return _mm512_sqrt_pd(a); }
_OSTRELL_DEF(_OSTRELL_VT, abs)(_OSTRELL_VT a) { return _mm512_abs_pd(a); }
/* Sign bits of s flipped in a (s holds ±0). */
_OSTRELL_DEF(_OSTRELL_VT, xor)(_OSTRELL_VT a, _OSTRELL_VT s)
{
    return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(s)));
}
_OSTRELL_DEF(_OSTRELL_VT, sign)(_OSTRELL_VT a)
{
    return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(INT64_MIN)));
}
_OSTRELL_DEF(_OSTRELL_VT, trunc)(_OSTRELL_VT a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
_OSTRELL_DEF(_OSTRELL_VT, floor)(_OSTRELL_VT a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
_OSTRELL_DEF(_OSTRELL_MT, lt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, le)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, gt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, ge)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, eq)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, nlt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLT_UQ); } /* !(a < b) */
_OSTRELL_DEF(_OSTRELL_MT, nle)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); } /* !(a <= b) */
_OSTRELL_DEF(_OSTRELL_MT, ngt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_cmp_pd_mask(a, b, _CMP_NGT_UQ); } /* !(a > b) */
_OSTRELL_DEF(_OSTRELL_MT, isnan)(_OSTRELL_VT a) { return _mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q); }
_OSTRELL_DEF(_OSTRELL_MT, none)(void) { return 0; }
_OSTRELL_DEF(_OSTRELL_MT, or)(_OSTRELL_MT a, _OSTRELL_MT b) { return (_OSTRELL_MT)(a | b); }
_OSTRELL_DEF(_OSTRELL_MT, and)(_OSTRELL_MT a, _OSTRELL_MT b) { return (_OSTRELL_MT)(a & b); }
_OSTRELL_DEF(int, any)(_OSTRELL_MT a) { return a != 0; }
/* m ? b : a, lane by lane. */
_OSTRELL_DEF(_OSTRELL_VT, select)(_OSTRELL_MT m, _OSTRELL_VT a, _OSTRELL_VT b) { return _mm512_mask_blend_pd(m, a, b); }
/* 2^e for integral e in [-1022, 1023]: e + 1023 in the exponent field. */
_OSTRELL_DEF(_OSTRELL_VT, pow2)(_OSTRELL_VT e)
{
    __m512i bits = _mm512_castpd_si512(_mm512_add_pd(e, _mm512_set1_pd(0x1.00000000003ffp+52)));
    return _mm512_castsi512_pd(_mm512_slli_epi64(bits, 52));
}
/* table[2 i] for i in [0, 16) (column 0 of a 16-row two-column table); the
 * index is taken from the low four bits of i + 2^52, so any lane, even a
 * NaN one, reads inside the table. */
_OSTRELL_DEF(_OSTRELL_VT, gather16)(const double* table, _OSTRELL_VT i)
{
    __m512i bits = _mm512_castpd_si512(_mm512_add_pd(i, _mm512_set1_pd(0x1p52)));
    __m512i idx = _mm512_and_si512(bits, _mm512_set1_epi64(15));
    return _mm512_i64gather_pd(_mm512_slli_epi64(idx, 1), table, 8);
}
/* Rows p[0..7] as (hi, lo) vectors; the lanes hold rows 0,4,1,5,2,6,3,7
 * (in-lane unpacks, undone by store_rows). */
_OSTRELL_DEF(void, load_rows)(const double* p, _OSTRELL_VT* hi, _OSTRELL_VT* lo)
{
    _OSTRELL_VT a = _mm512_loadu_pd(p), b = _mm512_loadu_pd(p + 8);
    *hi = _mm512_unpacklo_pd(a, b);
    *lo = _mm512_unpackhi_pd(a, b);
}
_OSTRELL_DEF(void, store_rows)(double* p, _OSTRELL_VT hi, _OSTRELL_VT lo)
{
    _mm512_storeu_pd(p, _mm512_unpacklo_pd(hi, lo));
    _mm512_storeu_pd(p + 8, _mm512_unpackhi_pd(hi, lo));
}
#undef _OSTRELL_VT
#undef _OSTRELL_MT
#undef _OSTRELL_DEF

/* ======== AVX2: 4 lanes, masks as all-ones lanes ========================= */

typedef __m256d _ostrell_v_avx2;
typedef __m256d _ostrell_m_avx2;
enum { _ostrell_lanes_avx2 = 4 };

#define _OSTRELL_DEF(ret, name) static inline _OSTRELL_AVX2 ret _ostrell_##name##_avx2
#define _OSTRELL_VT __m256d
#define _OSTRELL_MT __m256d
_OSTRELL_DEF(_OSTRELL_VT, set1)(double d) { return _mm256_set1_pd(d); }
_OSTRELL_DEF(_OSTRELL_VT, add)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_add_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, sub)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_sub_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, mul)(_OSTRELL_VT a, _OSTRELL_VT b)
{
    _OSTRELL_VT p = _mm256_mul_pd(a, b);
    __asm__("" : "+x"(p)); /* opaque: never fused into an add */
    return p;
}
_OSTRELL_DEF(_OSTRELL_VT, div)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_div_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_VT, sqrt)(_OSTRELL_VT a) { return _mm256_sqrt_pd(a); }
_OSTRELL_DEF(_OSTRELL_VT, abs)(_OSTRELL_VT a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
_OSTRELL_DEF(_OSTRELL_VT, xor)(_OSTRELL_VT a, _OSTRELL_VT s) { return _mm256_xor_pd(a, s); }
_OSTRELL_DEF(_OSTRELL_VT, sign)(_OSTRELL_VT a) { return _mm256_and_pd(a, _mm256_set1_pd(-0.0)); }
_OSTRELL_DEF(_OSTRELL_VT, trunc)(_OSTRELL_VT a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
_OSTRELL_DEF(_OSTRELL_VT, floor)(_OSTRELL_VT a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
_OSTRELL_DEF(_OSTRELL_MT, lt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, le)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, gt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, ge)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, eq)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
_OSTRELL_DEF(_OSTRELL_MT, nlt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_NLT_UQ); }
_OSTRELL_DEF(_OSTRELL_MT, nle)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
_OSTRELL_DEF(_OSTRELL_MT, ngt)(_OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_cmp_pd(a, b, _CMP_NGT_UQ); }
_OSTRELL_DEF(_OSTRELL_MT, isnan)(_OSTRELL_VT a) { return _mm256_cmp_pd(a, a, _CMP_UNORD_Q); }
_OSTRELL_DEF(_OSTRELL_MT, none)(void) { return _mm256_setzero_pd(); }
_OSTRELL_DEF(_OSTRELL_MT, or)(_OSTRELL_MT a, _OSTRELL_MT b) { return _mm256_or_pd(a, b); }
_OSTRELL_DEF(_OSTRELL_MT, and)(_OSTRELL_MT a, _OSTRELL_MT b) { return _mm256_and_pd(a, b); }
_OSTRELL_DEF(int, any)(_OSTRELL_MT a) { return _mm256_movemask_pd(a) != 0; }
_OSTRELL_DEF(_OSTRELL_VT, select)(_OSTRELL_MT m, _OSTRELL_VT a, _OSTRELL_VT b) { return _mm256_blendv_pd(a, b, m); }
_OSTRELL_DEF(_OSTRELL_VT, pow2)(_OSTRELL_VT e)
{
    __m256i bits = _mm256_castpd_si256(_mm256_add_pd(e, _mm256_set1_pd(0x1.00000000003ffp+52)));
    return _mm256_castsi256_pd(_mm256_slli_epi64(bits, 52));
}
_OSTRELL_DEF(_OSTRELL_VT, gather16)(const double* table, _OSTRELL_VT i)
{
    __m256i bits = _mm256_castpd_si256(_mm256_add_pd(i, _mm256_set1_pd(0x1p52)));
    __m256i idx = _mm256_and_si256(bits, _mm256_set1_epi64x(15));
    return _mm256_i64gather_pd(table, _mm256_slli_epi64(idx, 1), 8);
}
/* Rows p[0..3]; the lanes hold rows 0,2,1,3. */
_OSTRELL_DEF(void, load_rows)(const double* p, _OSTRELL_VT* hi, _OSTRELL_VT* lo)
{
    _OSTRELL_VT a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + 4);
    *hi = _mm256_unpacklo_pd(a, b);
    *lo = _mm256_unpackhi_pd(a, b);
}
_OSTRELL_DEF(void, store_rows)(double* p, _OSTRELL_VT hi, _OSTRELL_VT lo)
{
    _mm256_storeu_pd(p, _mm256_unpacklo_pd(hi, lo));
    _mm256_storeu_pd(p + 4, _mm256_unpackhi_pd(hi, lo));
}
#undef _OSTRELL_VT
#undef _OSTRELL_MT
#undef _OSTRELL_DEF

#endif /* OSTRELL_BATCH_VEC_H */
