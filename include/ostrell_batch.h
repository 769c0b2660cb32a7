/* ostrell_batch.h: the kernel operations and the elementary functions over
 * arrays of rows.
 *
 * A row is one value stored as two binary64 numbers, high then low, so n rows
 * are 2n contiguous doubles (the layout of a C-contiguous (n, 2) array).
 * Row i of every result has exactly the bits the scalar function of
 * ostrell.h / ostrell_math.h gives on row i of the arguments, on every path.
 * A result may be written over an argument (out == a); other overlaps are
 * not allowed.  Any alignment of double is accepted.
 *
 * Paths: an instruction set is chosen once at run time from the CPU's
 * features (ostrell_isa_best); every function also has an _isa form that
 * runs a named path, so tests and benchmarks can force each one.  A path the
 * CPU lacks must not be forced (ostrell_isa_supported tells).
 *
 * Compiles as C11 and as C++17, for the x86-64 baseline: wider instruction
 * sets are enabled per function, never for the includer.
 */
#ifndef OSTRELL_BATCH_H
#define OSTRELL_BATCH_H

#include <stddef.h>

#include "ostrell.h"
#include "ostrell_math.h"
#include "ostrell_batch_vec.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum ostrell_isa {
    OSTRELL_ISA_SSE2 = 0,   /* the x86-64 baseline: one row per step */
    OSTRELL_ISA_AVX2 = 1,   /* four rows per step */
    OSTRELL_ISA_AVX512 = 2  /* eight rows per step (AVX-512F) */
} ostrell_isa;

/* 1 when this CPU (and the operating system) can run the path. */
static inline int ostrell_isa_supported(ostrell_isa isa)
{
    __builtin_cpu_init();
    switch (isa) {
    case OSTRELL_ISA_SSE2: return 1;
    case OSTRELL_ISA_AVX2: return __builtin_cpu_supports("avx2") != 0;
    case OSTRELL_ISA_AVX512: return __builtin_cpu_supports("avx512f") != 0;
    }
    return 0;
}

/* The widest path this CPU supports, decided on the first call. */
static inline ostrell_isa ostrell_isa_best(void)
{
    static int best = -1;
    if (best < 0)
        best = ostrell_isa_supported(OSTRELL_ISA_AVX512) ? OSTRELL_ISA_AVX512
             : ostrell_isa_supported(OSTRELL_ISA_AVX2)   ? OSTRELL_ISA_AVX2
                                                         : OSTRELL_ISA_SSE2;
    return (ostrell_isa)best;
}

/* ---- row loops of the scalar functions ----------------------------------- */

/* out[i] = op(a[i]) / op(a[i], b[i]) one row at a time: the baseline path,
 * and the tail and special-row fallback of the wider paths. */
#define _OSTRELL_BATCH_ROWS1(op, a, out, n)                                    \
    do {                                                                       \
        size_t _i;                                                             \
        for (_i = 0; _i < (n); ++_i)                                           \
            _mm_storeu_pd((out) + 2 * _i, op(_mm_loadu_pd((a) + 2 * _i)));     \
    } while (0)

#define _OSTRELL_BATCH_ROWS2(op, a, b, out, n)                                 \
    do {                                                                       \
        size_t _i;                                                             \
        for (_i = 0; _i < (n); ++_i)                                           \
            _mm_storeu_pd((out) + 2 * _i,                                      \
                          op(_mm_loadu_pd((a) + 2 * _i), _mm_loadu_pd((b) + 2 * _i))); \
    } while (0)

/* One public pair per function: name_isa(isa, ...) runs the named path,
 * name(...) the best one.  Functions without a vector body run the row loop
 * on every path. */
#define _OSTRELL_BATCH_UNARY(name, op)                                         \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* x, double* out, \
                                                  size_t n)                    \
    {                                                                          \
        (void)isa;                                                             \
        _OSTRELL_BATCH_ROWS1(op, x, out, n);                                   \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), x, out, n);             \
    }

#define _OSTRELL_BATCH_BINARY(name, op)                                        \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* a, \
                                                  const double* b, double* out, size_t n) \
    {                                                                          \
        (void)isa;                                                             \
        _OSTRELL_BATCH_ROWS2(op, a, b, out, n);                                \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* a, const double* b, double* out, \
                                            size_t n)                          \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), a, b, out, n);          \
    }

/* ---- the kernel operations ---------------------------------------------- */
_OSTRELL_BATCH_BINARY(add, ostrell_add)
_OSTRELL_BATCH_BINARY(sub, ostrell_sub)
_OSTRELL_BATCH_BINARY(mul, ostrell_mul)
_OSTRELL_BATCH_BINARY(div, ostrell_div)

/* ---- elementary functions -------------------------------------------------- */

/* Row loops called from the vector paths: out of line, compiled for the
 * baseline, so the call clears the upper vector state before SSE code. */
#if defined(__clang__)
#define _OSTRELL_OUT_OF_LINE static __attribute__((noinline, unused))
#else
#define _OSTRELL_OUT_OF_LINE static __attribute__((noipa, unused))
#endif
#define _OSTRELL_BATCH_FALLBACK1(name)                                         \
    _OSTRELL_OUT_OF_LINE void _ostrell_batch_rows_##name(const double* x, double* out, \
                                                                       size_t n) \
    {                                                                          \
        _OSTRELL_BATCH_ROWS1(ostrell_##name, x, out, n);                       \
    }
_OSTRELL_BATCH_FALLBACK1(sqrt)
_OSTRELL_BATCH_FALLBACK1(exp)
_OSTRELL_BATCH_FALLBACK1(log)
_OSTRELL_BATCH_FALLBACK1(sin)
_OSTRELL_BATCH_FALLBACK1(cos)
#undef _OSTRELL_BATCH_FALLBACK1

_OSTRELL_OUT_OF_LINE void _ostrell_batch_rows_sincos(const double* x, double* s,
                                                                   double* c, size_t n)
{
    size_t i;
    ostrell_t si, ci;
    for (i = 0; i < n; ++i) {
        ostrell_sincos(_mm_loadu_pd(x + 2 * i), &si, &ci);
        _mm_storeu_pd(s + 2 * i, si);
        _mm_storeu_pd(c + 2 * i, ci);
    }
}

/* seeds[2 i] = log(x[2 i]), the binary64 seed of ostrell_log, for rows the
 * vector body takes (0 < hi <= DBL_MAX); 0 for the others, which it flags. */
_OSTRELL_OUT_OF_LINE void _ostrell_batch_log_seeds(const double* x, double* seeds,
                                                                 size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        double hi = x[2 * i];
        seeds[2 * i] = hi > 0.0 && hi <= OSTRELL_DBL_MAX ? log(hi) : 0.0;
        seeds[2 * i + 1] = 0.0;
    }
}
#define _OSTRELL_LOG_CHUNK 64

#define _OSTRELL_SUF avx512
#define _OSTRELL_TGT _OSTRELL_AVX512
#include "ostrell_batch_generic.h"
#undef _OSTRELL_TGT
#undef _OSTRELL_SUF
#define _OSTRELL_SUF avx2
#define _OSTRELL_TGT _OSTRELL_AVX2
#include "ostrell_batch_generic.h"
#undef _OSTRELL_TGT
#undef _OSTRELL_SUF

/* A function with a vector body: the AVX-512 and AVX2 paths run it, the
 * baseline path the row loop. */
#define _OSTRELL_BATCH_VECTOR1(name)                                           \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* x, double* out, \
                                                  size_t n)                    \
    {                                                                          \
        if (isa == OSTRELL_ISA_AVX512)                                         \
            _ostrell_batch_##name##_avx512(x, out, n);                         \
        else if (isa == OSTRELL_ISA_AVX2)                                      \
            _ostrell_batch_##name##_avx2(x, out, n);                           \
        else                                                                   \
            _OSTRELL_BATCH_ROWS1(ostrell_##name, x, out, n);                   \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), x, out, n);             \
    }

_OSTRELL_BATCH_VECTOR1(sqrt)
_OSTRELL_BATCH_VECTOR1(exp)
_OSTRELL_BATCH_VECTOR1(log)
_OSTRELL_BATCH_BINARY(pow, ostrell_pow)
_OSTRELL_BATCH_VECTOR1(sin)
_OSTRELL_BATCH_VECTOR1(cos)
_OSTRELL_BATCH_UNARY(tan, ostrell_tan)
_OSTRELL_BATCH_UNARY(sinh, ostrell_sinh)
_OSTRELL_BATCH_UNARY(cosh, ostrell_cosh)
_OSTRELL_BATCH_UNARY(tanh, ostrell_tanh)
_OSTRELL_BATCH_UNARY(atan, ostrell_atan)
_OSTRELL_BATCH_BINARY(atan2, ostrell_atan2)
_OSTRELL_BATCH_UNARY(asin, ostrell_asin)
_OSTRELL_BATCH_UNARY(acos, ostrell_acos)
_OSTRELL_BATCH_UNARY(floor, ostrell_floor)
_OSTRELL_BATCH_UNARY(ceil, ostrell_ceil)
_OSTRELL_BATCH_UNARY(trunc, ostrell_trunc)
_OSTRELL_BATCH_UNARY(round, ostrell_round)
_OSTRELL_BATCH_BINARY(fmod, ostrell_fmod)

/* Sine and cosine of each row together (s and c may not overlap). */
static inline void ostrell_batch_sincos_isa(ostrell_isa isa, const double* x, double* s, double* c,
                                            size_t n)
{
    if (isa == OSTRELL_ISA_AVX512)
        _ostrell_batch_sincos_avx512(x, s, c, n);
    else if (isa == OSTRELL_ISA_AVX2)
        _ostrell_batch_sincos_avx2(x, s, c, n);
    else
        _ostrell_batch_rows_sincos(x, s, c, n);
}

static inline void ostrell_batch_sincos(const double* x, double* s, double* c, size_t n)
{
    ostrell_batch_sincos_isa(ostrell_isa_best(), x, s, c, n);
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_BATCH_H */
