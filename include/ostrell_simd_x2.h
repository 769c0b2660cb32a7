/* ostrell_simd_x2.h: a set of primitives made of two vectors of another set
 * (prefix _ostrell_<isa>_x2_): each operation is done on both halves, one
 * after the other.  A body instantiated on it steps two independent blocks of
 * rows together, so the latency of its long dependent chains (the Horner
 * steps of exp, sin and cos) overlaps; the elementary functions use it.
 *
 * The halves hold rows 0..LANES-1 and LANES..2 LANES-1 of a block.  Every
 * primitive of ostrell_simd.h and ostrell_simd_fn.h that the bodies use is
 * defined (not the aligned or streaming stores).
 */
#ifndef OSTRELL_SIMD_X2_H
#define OSTRELL_SIMD_X2_H

#include "ostrell_simd_fn.h"

#define _OSTRELL_X2_UN(isa, inl, name)                                         \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_##name(_ostrell_##isa##_x2_d x) \
    {                                                                          \
        _ostrell_##isa##_x2_d r;                                               \
        r.a = _ostrell_##isa##_##name(x.a);                                    \
        r.b = _ostrell_##isa##_##name(x.b);                                    \
        return r;                                                              \
    }
#define _OSTRELL_X2_BIN(isa, inl, name)                                        \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_##name(_ostrell_##isa##_x2_d x, \
                                                         _ostrell_##isa##_x2_d y) \
    {                                                                          \
        _ostrell_##isa##_x2_d r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }
#define _OSTRELL_X2_CMP(isa, inl, name)                                        \
    inl _ostrell_##isa##_x2_m _ostrell_##isa##_x2_##name(_ostrell_##isa##_x2_d x, \
                                                         _ostrell_##isa##_x2_d y) \
    {                                                                          \
        _ostrell_##isa##_x2_m r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }
#define _OSTRELL_X2_MBIN(isa, inl, name)                                       \
    inl _ostrell_##isa##_x2_m _ostrell_##isa##_x2_##name(_ostrell_##isa##_x2_m x, \
                                                         _ostrell_##isa##_x2_m y) \
    {                                                                          \
        _ostrell_##isa##_x2_m r;                                               \
        r.a = _ostrell_##isa##_##name(x.a, y.a);                               \
        r.b = _ostrell_##isa##_##name(x.b, y.b);                               \
        return r;                                                              \
    }

/* The set _ostrell_<isa>_x2_ over _ostrell_<isa>_ of `lanes` rows a vector;
 * inl: that set's function prefix (static inline, target, always_inline). */
#define _OSTRELL_SIMD_X2(isa, inl, lanes)                                      \
    typedef struct { _ostrell_##isa##_d a, b; } _ostrell_##isa##_x2_d;         \
    typedef struct { _ostrell_##isa##_m a, b; } _ostrell_##isa##_x2_m;         \
    typedef struct { _ostrell_##isa##_x2_d hi, lo; } _ostrell_##isa##_x2_dd;   \
    inl _ostrell_##isa##_x2_dd _ostrell_##isa##_x2_load_rows(const double* p)  \
    {                                                                          \
        _ostrell_##isa##_dd x = _ostrell_##isa##_load_rows(p);                 \
        _ostrell_##isa##_dd y = _ostrell_##isa##_load_rows(p + 2 * (lanes));   \
        _ostrell_##isa##_x2_dd r;                                              \
        r.hi.a = x.hi;                                                         \
        r.hi.b = y.hi;                                                         \
        r.lo.a = x.lo;                                                         \
        r.lo.b = y.lo;                                                         \
        return r;                                                              \
    }                                                                          \
    inl void _ostrell_##isa##_x2_store_rows(double* p, _ostrell_##isa##_x2_dd r) \
    {                                                                          \
        _ostrell_##isa##_dd x, y;                                              \
        x.hi = r.hi.a;                                                         \
        x.lo = r.lo.a;                                                         \
        y.hi = r.hi.b;                                                         \
        y.lo = r.lo.b;                                                         \
        _ostrell_##isa##_store_rows(p, x);                                     \
        _ostrell_##isa##_store_rows(p + 2 * (lanes), y);                       \
    }                                                                          \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_set1(double v)               \
    {                                                                          \
        _ostrell_##isa##_x2_d r;                                               \
        r.a = r.b = _ostrell_##isa##_set1(v);                                  \
        return r;                                                              \
    }                                                                          \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_zero(void) { return _ostrell_##isa##_x2_set1(0.0); } \
    _OSTRELL_X2_BIN(isa, inl, add)                                             \
    _OSTRELL_X2_BIN(isa, inl, sub)                                             \
    _OSTRELL_X2_BIN(isa, inl, mul)                                             \
    _OSTRELL_X2_BIN(isa, inl, div)                                             \
    _OSTRELL_X2_BIN(isa, inl, min)                                             \
    _OSTRELL_X2_BIN(isa, inl, max)                                             \
    _OSTRELL_X2_BIN(isa, inl, xor)                                             \
    _OSTRELL_X2_UN(isa, inl, sqrt)                                             \
    _OSTRELL_X2_UN(isa, inl, abs)                                              \
    _OSTRELL_X2_UN(isa, inl, neg)                                              \
    _OSTRELL_X2_UN(isa, inl, opaque)                                           \
    _OSTRELL_X2_UN(isa, inl, trunc)                                            \
    _OSTRELL_X2_UN(isa, inl, floor)                                            \
    _OSTRELL_X2_UN(isa, inl, ceil)                                             \
    _OSTRELL_X2_UN(isa, inl, signbit)                                          \
    _OSTRELL_X2_UN(isa, inl, pow2)                                             \
    _OSTRELL_X2_CMP(isa, inl, lt)                                              \
    _OSTRELL_X2_CMP(isa, inl, le)                                              \
    _OSTRELL_X2_CMP(isa, inl, gt)                                              \
    _OSTRELL_X2_CMP(isa, inl, ge)                                              \
    _OSTRELL_X2_CMP(isa, inl, eq)                                              \
    _OSTRELL_X2_CMP(isa, inl, nle)                                             \
    _OSTRELL_X2_CMP(isa, inl, ne)                                              \
    _OSTRELL_X2_CMP(isa, inl, ord)                                             \
    _OSTRELL_X2_CMP(isa, inl, nlt)                                             \
    _OSTRELL_X2_CMP(isa, inl, ngt)                                             \
    _OSTRELL_X2_MBIN(isa, inl, mor)                                            \
    _OSTRELL_X2_MBIN(isa, inl, mand)                                           \
    inl _ostrell_##isa##_x2_m _ostrell_##isa##_x2_mzero(void)                  \
    {                                                                          \
        _ostrell_##isa##_x2_m r;                                               \
        r.a = r.b = _ostrell_##isa##_mzero();                                  \
        return r;                                                              \
    }                                                                          \
    inl int _ostrell_##isa##_x2_many(_ostrell_##isa##_x2_m m)                  \
    {                                                                          \
        return _ostrell_##isa##_many(_ostrell_##isa##_mor(m.a, m.b));          \
    }                                                                          \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_blend(_ostrell_##isa##_x2_m m, \
                                                        _ostrell_##isa##_x2_d x, \
                                                        _ostrell_##isa##_x2_d y) \
    {                                                                          \
        _ostrell_##isa##_x2_d r;                                               \
        r.a = _ostrell_##isa##_blend(m.a, x.a, y.a);                           \
        r.b = _ostrell_##isa##_blend(m.b, x.b, y.b);                           \
        return r;                                                              \
    }                                                                          \
    inl _ostrell_##isa##_x2_d _ostrell_##isa##_x2_gather16(const double* table, \
                                                           _ostrell_##isa##_x2_d i) \
    {                                                                          \
        _ostrell_##isa##_x2_d r;                                               \
        r.a = _ostrell_##isa##_gather16(table, i.a);                           \
        r.b = _ostrell_##isa##_gather16(table, i.b);                           \
        return r;                                                              \
    }

_OSTRELL_SIMD_X2(sse2, _OSTRELL_SSE2_INLINE, 2)
_OSTRELL_SIMD_X2(avx2, _OSTRELL_AVX2_INLINE, 4)
_OSTRELL_SIMD_X2(avx512, _OSTRELL_AVX512_INLINE, 8)

#undef _OSTRELL_SIMD_X2
#undef _OSTRELL_X2_UN
#undef _OSTRELL_X2_BIN
#undef _OSTRELL_X2_CMP
#undef _OSTRELL_X2_MBIN

#endif /* OSTRELL_SIMD_X2_H */
