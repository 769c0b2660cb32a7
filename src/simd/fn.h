/* simd/fn.h: the primitives the vector elementary functions add to
 * the layer of simd/simd.h, for each instruction set under its prefix
 * (_ostrell_sse2_, _ostrell_avx2_, _ostrell_avx512_) and reached by the
 * bodies through the short names below.
 *
 *   trunc floor ceil  the binary64 rounding to an integer, exact (as libm's)
 *   signbit(x)        x with every bit but the sign cleared (+0 or -0)
 *   xor(a, b)         the bitwise exclusive-or (flips a's sign where b is -0)
 *   nlt ngt           not (a < b), not (a > b): true on NaN -> m
 *   pow2(e)           2^e for integral e in [-1022, 1023]
 *   mrows(m)          the rows of a block (bit k: row k, in row order) whose
 *                     lanes are set in m
 *   gather16(t, i)    t[2 i] for i in [0, 16): one column of a 16-row table
 *                     of pairs; the index is the low four bits of i + 2^52,
 *                     so a lane with any other value (NaN included) still
 *                     reads inside the table
 */
#ifndef OSTRELL_SIMD_FN_H
#define OSTRELL_SIMD_FN_H

#include "simd/simd.h"
#include "simd/avx2.h"
#include "simd/avx512.h"
#include "simd/sse2.h"

#define _osv_trunc _OSV(trunc)
#define _osv_floor _OSV(floor)
#define _osv_ceil _OSV(ceil)
#define _osv_signbit _OSV(signbit)
#define _osv_xor _OSV(xor)
#define _osv_nlt _OSV(nlt)
#define _osv_ngt _OSV(ngt)
#define _osv_pow2 _OSV(pow2)
#define _osv_gather16 _OSV(gather16)
#define _osv_mrows _OSV(mrows)

/* 2^52 + 1023: adding it to an integral e in [-1022, 1023] leaves e + 1023
 * in the low bits, which a shift by 52 moves into the exponent field. */
#define _OSTRELL_SIMD_POW2_BIAS 0x1.00000000003ffp+52

/* ---- SSE2: no rounding instruction, no gather ------------------------------ */

/* trunc(|x|) for |x| < 2^52 is |x| rounded through 2^52, less one where that
 * rounded up; the sign is put back (trunc(-0.5) = -0).  Larger magnitudes,
 * infinities and NaN are integers or NaN already and pass unchanged. */
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_trunc(__m128d x)
{
    const __m128d two52 = _mm_set1_pd(0x1p52);
    __m128d ax = _ostrell_sse2_abs(x);
    __m128d r = _mm_sub_pd(_mm_add_pd(ax, two52), two52);
    r = _mm_sub_pd(r, _mm_and_pd(_mm_cmpgt_pd(r, ax), _mm_set1_pd(1.0)));
    r = _mm_or_pd(r, _mm_and_pd(x, _mm_set1_pd(-0.0)));
    return _ostrell_sse2_blend(_mm_cmplt_pd(ax, two52), x, r);
}
/* floor(x) = trunc(x) - 1 where x lies below its truncation (x < 0). */
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_floor(__m128d x)
{
    __m128d t = _ostrell_sse2_trunc(x);
    return _ostrell_sse2_blend(_mm_cmplt_pd(x, t), t, _mm_sub_pd(t, _mm_set1_pd(1.0)));
}
/* ceil(x) = -floor(-x), signed zeros included. */
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_ceil(__m128d x)
{
    return _ostrell_sse2_neg(_ostrell_sse2_floor(_ostrell_sse2_neg(x)));
}
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_signbit(__m128d x) { return _mm_and_pd(x, _mm_set1_pd(-0.0)); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_xor(__m128d a, __m128d b) { return _mm_xor_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_nlt(__m128d a, __m128d b) { return _mm_cmpnlt_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_ngt(__m128d a, __m128d b) { return _mm_cmpngt_pd(a, b); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_pow2(__m128d e)
{
    __m128i bits = _mm_castpd_si128(_mm_add_pd(e, _mm_set1_pd(_OSTRELL_SIMD_POW2_BIAS)));
    return _mm_castsi128_pd(_mm_slli_epi64(bits, 52));
}
_OSTRELL_SSE2_INLINE unsigned _ostrell_sse2_mrows(__m128d m) { return (unsigned)_mm_movemask_pd(m); }
_OSTRELL_SSE2_INLINE __m128d _ostrell_sse2_gather16(const double* table, __m128d i)
{
    __m128i idx = _mm_and_si128(_mm_castpd_si128(_mm_add_pd(i, _mm_set1_pd(0x1p52))), _mm_set1_epi64x(15));
    long long i0 = _mm_cvtsi128_si64(idx), i1 = _mm_cvtsi128_si64(_mm_unpackhi_epi64(idx, idx));
    return _mm_set_pd(table[2 * i1], table[2 * i0]);
}

/* ---- AVX2 ---------------------------------------------------------------- */

_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_trunc(__m256d x)
{
    return _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_floor(__m256d x)
{
    return _mm256_round_pd(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_ceil(__m256d x)
{
    return _mm256_round_pd(x, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_signbit(__m256d x) { return _mm256_and_pd(x, _mm256_set1_pd(-0.0)); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_xor(__m256d a, __m256d b) { return _mm256_xor_pd(a, b); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_nlt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NLT_UQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_ngt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NGT_UQ); }
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_pow2(__m256d e)
{
    __m256i bits = _mm256_castpd_si256(_mm256_add_pd(e, _mm256_set1_pd(_OSTRELL_SIMD_POW2_BIAS)));
    return _mm256_castsi256_pd(_mm256_slli_epi64(bits, 52));
}
/* Lanes hold rows 0, 2, 1, 3. */
_OSTRELL_AVX2_INLINE unsigned _ostrell_avx2_mrows(__m256d m)
{
    unsigned b = (unsigned)_mm256_movemask_pd(m);
    return (b & 9u) | (b & 2u) << 1 | (b & 4u) >> 1;
}
_OSTRELL_AVX2_INLINE __m256d _ostrell_avx2_gather16(const double* table, __m256d i)
{
    __m256i bits = _mm256_castpd_si256(_mm256_add_pd(i, _mm256_set1_pd(0x1p52)));
    __m256i idx = _mm256_and_si256(bits, _mm256_set1_epi64x(15));
    return _mm256_i64gather_pd(table, _mm256_slli_epi64(idx, 1), 8);
}

/* ---- AVX-512F: masked forms with every lane taken, as in _avx512.h --------- */

_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_trunc(__m512d x)
{
    return _mm512_mask_roundscale_pd(x, (__mmask8)0xFF, x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_floor(__m512d x)
{
    return _mm512_mask_roundscale_pd(x, (__mmask8)0xFF, x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_ceil(__m512d x)
{
    return _mm512_mask_roundscale_pd(x, (__mmask8)0xFF, x, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_signbit(__m512d x)
{
    return _mm512_castsi512_pd(
        _mm512_and_epi64(_mm512_castpd_si512(x), _mm512_set1_epi64((long long)0x8000000000000000ULL)));
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_xor(__m512d a, __m512d b)
{
    return _mm512_castsi512_pd(_mm512_xor_epi64(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
}
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_nlt(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLT_UQ); }
_OSTRELL_AVX512_INLINE __mmask8 _ostrell_avx512_ngt(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, _CMP_NGT_UQ); }
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_pow2(__m512d e)
{
    __m512i bits = _mm512_castpd_si512(_mm512_add_pd(e, _mm512_set1_pd(_OSTRELL_SIMD_POW2_BIAS)));
    return _mm512_castsi512_pd(_mm512_mask_slli_epi64(bits, (__mmask8)0xFF, bits, 52));
}
/* Lanes hold rows 0, 4, 1, 5, 2, 6, 3, 7. */
_OSTRELL_AVX512_INLINE unsigned _ostrell_avx512_mrows(__mmask8 m)
{
    unsigned b = m;
    return (b & 0x81u) | (b & 0x02u) << 3 | (b & 0x04u) >> 1 | (b & 0x08u) << 2 | (b & 0x10u) >> 2
         | (b & 0x20u) << 1 | (b & 0x40u) >> 3;
}
_OSTRELL_AVX512_INLINE __m512d _ostrell_avx512_gather16(const double* table, __m512d i)
{
    __m512i bits = _mm512_castpd_si512(_mm512_add_pd(i, _mm512_set1_pd(0x1p52)));
    __m512i idx = _mm512_and_epi64(bits, _mm512_set1_epi64(15));
    idx = _mm512_mask_slli_epi64(idx, (__mmask8)0xFF, idx, 1);
    return _mm512_mask_i64gather_pd(i, (__mmask8)0xFF, idx, table, 8);
}

#endif /* OSTRELL_SIMD_FN_H */
