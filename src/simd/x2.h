/* simd/x2.h: sets of primitives made of two vectors of another set:
 * each operation is done on both halves, one after the other.  A body
 * instantiated on such a set steps two independent blocks of rows together,
 * so the latencies of its long dependent chains (the Horner steps of exp,
 * sin and cos) overlap; the elementary functions use them.  Pairs of pairs
 * (four vectors) suit AVX-512 with its 32 registers:
 *
 *   _ostrell_sse2_x2_, _ostrell_avx2_x2_   2 vectors (4 and 8 rows)
 *   _ostrell_avx512_x4_                    4 vectors (32 rows)
 *
 * The halves hold rows 0..LANES-1 and LANES..2 LANES-1 of a block.  Every
 * primitive of simd/simd.h and simd/fn.h that the bodies use is
 * defined (not the aligned or streaming stores).
 */
#ifndef OSTRELL_SIMD_X2_H
#define OSTRELL_SIMD_X2_H

#include "simd/fn.h"

#define _OSTRELL_X2_UN(isa, pair, inl, name)                                         \
    inl _ostrell_##pair##_d _ostrell_##pair##_##name(_ostrell_##pair##_d x) \
    {                                                                          \
        _ostrell_##pair##_d r;                                               \
        r.a = _ostrell_##isa##_##name(x.a);                                    \
        r.b = _ostrell_##isa##_##name(x.b);                                    \
        return r;                                                              \
    }
#define _OSTRELL_X2_BIN(isa, pair, inl, name)                                        \
    inl _ostrell_##pair##_d _ostrell_##pair##_##name(_ostrell_##pair##_d x, \
                                                         _ostrell_##pair##_d y) \
    {                                                                          \
        _ostrell_##pair##_d r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }
#define _OSTRELL_X2_CMP(isa, pair, inl, name)                                        \
    inl _ostrell_##pair##_m _ostrell_##pair##_##name(_ostrell_##pair##_d x, \
                                                         _ostrell_##pair##_d y) \
    {                                                                          \
        _ostrell_##pair##_m r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }
#define _OSTRELL_X2_MBIN(isa, pair, inl, name)                                       \
    inl _ostrell_##pair##_m _ostrell_##pair##_##name(_ostrell_##pair##_m x, \
                                                         _ostrell_##pair##_m y) \
    {                                                                          \
        _ostrell_##pair##_m r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }

/* The set _ostrell_<pair>_ over _ostrell_<isa>_ of `lanes` rows a vector;
 * inl: that set's function prefix (static inline, target, always_inline). */
#define _OSTRELL_SIMD_X2(isa, pair, inl, lanes)                                      \
    typedef struct { _ostrell_##isa##_d a, b; } _ostrell_##pair##_d;         \
    typedef struct { _ostrell_##isa##_m a, b; } _ostrell_##pair##_m;         \
    typedef struct { _ostrell_##pair##_d hi, lo; } _ostrell_##pair##_dd;   \
    inl _ostrell_##pair##_dd _ostrell_##pair##_load_rows(const double* p)  \
    {                                                                          \
        _ostrell_##isa##_dd x = _ostrell_##isa##_load_rows(p);                 \
        _ostrell_##isa##_dd y = _ostrell_##isa##_load_rows(p + 2 * (lanes));   \
        _ostrell_##pair##_dd r;                                              \
        r.hi.a = x.hi;                                                         \
        r.hi.b = y.hi;                                                         \
        r.lo.a = x.lo;                                                         \
        r.lo.b = y.lo;                                                         \
        return r;                                                              \
    }                                                                          \
    inl void _ostrell_##pair##_store_rows(double* p, _ostrell_##pair##_dd r) \
    {                                                                          \
        _ostrell_##isa##_dd x, y;                                              \
        x.hi = r.hi.a;                                                         \
        x.lo = r.lo.a;                                                         \
        y.hi = r.hi.b;                                                         \
        y.lo = r.lo.b;                                                         \
        _ostrell_##isa##_store_rows(p, x);                                     \
        _ostrell_##isa##_store_rows(p + 2 * (lanes), y);                       \
    }                                                                          \
    inl _ostrell_##pair##_d _ostrell_##pair##_set1(double v)               \
    {                                                                          \
        _ostrell_##pair##_d r;                                               \
        r.a = r.b = _ostrell_##isa##_set1(v);                                  \
        return r;                                                              \
    }                                                                          \
    inl _ostrell_##pair##_d _ostrell_##pair##_zero(void) { return _ostrell_##pair##_set1(0.0); } \
    _OSTRELL_X2_BIN(isa, pair, inl, add)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, sub)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, mul)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, div)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, min)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, max)                                             \
    _OSTRELL_X2_BIN(isa, pair, inl, xor)                                             \
    _OSTRELL_X2_UN(isa, pair, inl, sqrt)                                             \
    _OSTRELL_X2_UN(isa, pair, inl, abs)                                              \
    _OSTRELL_X2_UN(isa, pair, inl, neg)                                              \
    _OSTRELL_X2_UN(isa, pair, inl, opaque)                                           \
    _OSTRELL_X2_UN(isa, pair, inl, trunc)                                            \
    _OSTRELL_X2_UN(isa, pair, inl, floor)                                            \
    _OSTRELL_X2_UN(isa, pair, inl, ceil)                                             \
    _OSTRELL_X2_UN(isa, pair, inl, signbit)                                          \
    _OSTRELL_X2_UN(isa, pair, inl, pow2)                                             \
    _OSTRELL_X2_CMP(isa, pair, inl, lt)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, le)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, gt)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, ge)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, eq)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, nle)                                             \
    _OSTRELL_X2_CMP(isa, pair, inl, ne)                                              \
    _OSTRELL_X2_CMP(isa, pair, inl, ord)                                             \
    _OSTRELL_X2_CMP(isa, pair, inl, nlt)                                             \
    _OSTRELL_X2_CMP(isa, pair, inl, ngt)                                             \
    _OSTRELL_X2_MBIN(isa, pair, inl, mor)                                            \
    _OSTRELL_X2_MBIN(isa, pair, inl, mand)                                           \
    inl _ostrell_##pair##_m _ostrell_##pair##_mzero(void)                  \
    {                                                                          \
        _ostrell_##pair##_m r;                                               \
        r.a = r.b = _ostrell_##isa##_mzero();                                  \
        return r;                                                              \
    }                                                                          \
    inl unsigned _ostrell_##pair##_mrows(_ostrell_##pair##_m m)               \
    {                                                                          \
        return _ostrell_##isa##_mrows(m.a) | _ostrell_##isa##_mrows(m.b) << (lanes); \
    }                                                                          \
    inl int _ostrell_##pair##_many(_ostrell_##pair##_m m)                  \
    {                                                                          \
        return _ostrell_##isa##_many(_ostrell_##isa##_mor(m.a, m.b));          \
    }                                                                          \
    inl _ostrell_##pair##_d _ostrell_##pair##_blend(_ostrell_##pair##_m m, \
                                                        _ostrell_##pair##_d x, \
                                                        _ostrell_##pair##_d y) \
    {                                                                          \
        _ostrell_##pair##_d r;                                               \
        r.a = _ostrell_##isa##_blend(m.a, x.a, y.a);                           \
        r.b = _ostrell_##isa##_blend(m.b, x.b, y.b);                           \
        return r;                                                              \
    }                                                                          \
    inl _ostrell_##pair##_d _ostrell_##pair##_gather16(const double* table, \
                                                           _ostrell_##pair##_d i) \
    {                                                                          \
        _ostrell_##pair##_d r;                                               \
        r.a = _ostrell_##isa##_gather16(table, i.a);                           \
        r.b = _ostrell_##isa##_gather16(table, i.b);                           \
        return r;                                                              \
    }

_OSTRELL_SIMD_X2(sse2, sse2_x2, _OSTRELL_SSE2_INLINE, 2)
_OSTRELL_SIMD_X2(avx2, avx2_x2, _OSTRELL_AVX2_INLINE, 4)
_OSTRELL_SIMD_X2(avx512, avx512_x2, _OSTRELL_AVX512_INLINE, 8)
_OSTRELL_SIMD_X2(avx512_x2, avx512_x4, _OSTRELL_AVX512_INLINE, 16)

#undef _OSTRELL_SIMD_X2
#undef _OSTRELL_X2_UN
#undef _OSTRELL_X2_BIN
#undef _OSTRELL_X2_CMP
#undef _OSTRELL_X2_MBIN

#endif /* OSTRELL_SIMD_X2_H */
