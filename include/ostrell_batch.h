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
 *
 * add, sub, mul and div have vector bodies (ostrell_batch_arith.h) on the
 * layer of ostrell_simd.h, which states the rules every vector kernel
 * follows (exact scalar operation order, no FMA, flagged lanes recomputed by
 * the scalar kernel out of line).  Every elementary function has vector
 * bodies on the same layer too (ostrell_batch_math.h), most of them on the
 * paired sets of ostrell_simd_x2.h (32 rows a step with AVX-512, 8 with
 * AVX2, 4 with SSE2); floor, ceil, trunc and round keep the scalar row loop
 * on the baseline path.  The binary64 seeds that log, pow and the inverse
 * circular functions take from the libm (log, atan) are computed row by
 * row by the libm itself, so they are the scalar functions' seeds.
 */
#ifndef OSTRELL_BATCH_H
#define OSTRELL_BATCH_H

#include <stddef.h>

#include "ostrell.h"
#include "ostrell_math.h"
#include "ostrell_simd.h"
#include "ostrell_simd_avx2.h"
#include "ostrell_simd_avx512.h"
#include "ostrell_simd_sse2.h"
#include "ostrell_simd_x2.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum ostrell_isa {
    OSTRELL_ISA_SSE2 = 0,   /* the x86-64 baseline: two rows per step */
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

/* ---- vector bodies ---------------------------------------------------------- */

enum { _OSTRELL_OP_ADD, _OSTRELL_OP_SUB, _OSTRELL_OP_MUL, _OSTRELL_OP_DIV };
enum { _OSTRELL_STORE_UNALIGNED, _OSTRELL_STORE_ALIGNED, _OSTRELL_STORE_STREAM };

/* Below this many rows the output is not aligned first (the peeled rows cost
 * more than the aligned stores save). */
#define _OSTRELL_BATCH_PEEL_ROWS 64
/* From this many rows (1 MiB of output: arguments and result no longer fit a
 * typical 1-2 MiB L2 cache) the output bypasses the caches, and its stores no
 * longer read the lines first.  Measured on fresh NumPy results: 32768 rows
 * are 25% faster with ordinary stores, 65536 rows 30% faster streamed. */
#define _OSTRELL_BATCH_STREAM_ROWS ((size_t)1 << 16)
/* Streamed runs prefetch their operands this many rows ahead (4 KiB of each).
 * Measured with fresh and reused outputs of 10^6 and 10^7 rows: 128 rows too
 * close for AVX2, 256 and 512 alike; without it 10-20% slower on AVX-512. */
#define _OSTRELL_BATCH_PREFETCH_ROWS 256

/* The scalar kernel on rows [0, n): the fallback of the vector bodies for
 * flagged blocks, the peeled head and the tail.  Out of line and baseline
 * (see ostrell_simd.h, rule 4). */
static _OSTRELL_OUTLINE void _ostrell_batch_rows_arith(int op, const double* a, const double* b,
                                                        double* out, size_t n)
{
    switch (op) {
    case _OSTRELL_OP_ADD: _OSTRELL_BATCH_ROWS2(ostrell_add, a, b, out, n); break;
    case _OSTRELL_OP_SUB: _OSTRELL_BATCH_ROWS2(ostrell_sub, a, b, out, n); break;
    case _OSTRELL_OP_MUL: _OSTRELL_BATCH_ROWS2(ostrell_mul, a, b, out, n); break;
    default: _OSTRELL_BATCH_ROWS2(ostrell_div, a, b, out, n); break;
    }
}

/* The elementary functions on rows [0, n), for flagged blocks and the last
 * rows, and the libm seeds of some of them.  Out of line and baseline, as
 * _ostrell_batch_rows_arith. */
#define _OSTRELL_BATCH_ROWS_FN(name)                                           \
    static _OSTRELL_OUTLINE void _ostrell_batch_rows_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        _OSTRELL_BATCH_ROWS1(ostrell_##name, x, out, n);                       \
    }
_OSTRELL_BATCH_ROWS_FN(sqrt)
_OSTRELL_BATCH_ROWS_FN(exp)
_OSTRELL_BATCH_ROWS_FN(log)
_OSTRELL_BATCH_ROWS_FN(sin)
_OSTRELL_BATCH_ROWS_FN(cos)
_OSTRELL_BATCH_ROWS_FN(tan)
_OSTRELL_BATCH_ROWS_FN(sinh)
_OSTRELL_BATCH_ROWS_FN(cosh)
_OSTRELL_BATCH_ROWS_FN(tanh)
_OSTRELL_BATCH_ROWS_FN(floor)
_OSTRELL_BATCH_ROWS_FN(ceil)
_OSTRELL_BATCH_ROWS_FN(trunc)
_OSTRELL_BATCH_ROWS_FN(round)
#undef _OSTRELL_BATCH_ROWS_FN

static _OSTRELL_OUTLINE void _ostrell_batch_rows_pow(const double* a, const double* b,
                                                     double* out, size_t n)
{
    _OSTRELL_BATCH_ROWS2(ostrell_pow, a, b, out, n);
}

static _OSTRELL_OUTLINE void _ostrell_batch_rows_fmod(const double* a, const double* b,
                                                      double* out, size_t n)
{
    _OSTRELL_BATCH_ROWS2(ostrell_fmod, a, b, out, n);
}

static _OSTRELL_OUTLINE void _ostrell_batch_rows_sincos(const double* x, double* s, double* c,
                                                        size_t n)
{
    size_t i;
    ostrell_t si, ci;
    for (i = 0; i < n; ++i) {
        ostrell_sincos(_mm_loadu_pd(x + 2 * i), &si, &ci);
        _mm_storeu_pd(s + 2 * i, si);
        _mm_storeu_pd(c + 2 * i, ci);
    }
}

/* Rows per chunk of libm seeds (on the stack of the vector loop); a multiple
 * of every set's rows a step. */
#define _OSTRELL_BATCH_LOG_CHUNK 64

/* seeds[2 i] = log(x[2 i]), the binary64 seed of ostrell_log, where the
 * vector body takes the row (0 < hi <= DBL_MAX); 0 elsewhere (flagged). */
static _OSTRELL_OUTLINE void _ostrell_batch_log_seeds(const double* x, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        double hi = x[2 * i];
        seeds[2 * i] = hi > 0.0 && hi <= OSTRELL_DBL_MAX ? log(hi) : 0.0;
        seeds[2 * i + 1] = 0.0;
    }
}

enum { _OSTRELL_INV_ATAN, _OSTRELL_INV_ASIN, _OSTRELL_INV_ACOS, _OSTRELL_INV_ATAN2 };

/* The inverse circular functions on rows [0, n) (b is only read by atan2),
 * and the seeds of their arctangent: seeds[2 i] = atan(z[2 i]), the binary64
 * seed of _ostrell_atan_near_zero. */
static _OSTRELL_OUTLINE void _ostrell_batch_rows_inv(int fn, const double* a, const double* b,
                                                     double* out, size_t n)
{
    switch (fn) {
    case _OSTRELL_INV_ATAN: _OSTRELL_BATCH_ROWS1(ostrell_atan, a, out, n); break;
    case _OSTRELL_INV_ASIN: _OSTRELL_BATCH_ROWS1(ostrell_asin, a, out, n); break;
    case _OSTRELL_INV_ACOS: _OSTRELL_BATCH_ROWS1(ostrell_acos, a, out, n); break;
    default: _OSTRELL_BATCH_ROWS2(ostrell_atan2, a, b, out, n); break;
    }
}
static _OSTRELL_OUTLINE void _ostrell_batch_atan_seeds(const double* z, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        seeds[2 * i] = atan(z[2 * i]);
        seeds[2 * i + 1] = 0.0;
    }
}

/* seeds[2 i] = log|x[2 i]|, the seed of ostrell_log for pow's |base|, where
 * the high part is finite and not zero; 0 elsewhere (flagged). */
static _OSTRELL_OUTLINE void _ostrell_batch_log_abs_seeds(const double* x, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        double hi = fabs(x[2 * i]);
        seeds[2 * i] = hi > 0.0 && hi <= OSTRELL_DBL_MAX ? log(hi) : 0.0;
        seeds[2 * i + 1] = 0.0;
    }
}

/* Every vector body, instantiated once per instruction set. */
#define _OSV(name) _ostrell_sse2_##name
#define _OSV_TARGET
#define _OSV_LANES 2
#include "ostrell_batch_bodies.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx2_##name
#define _OSV_TARGET _OSTRELL_AVX2
#define _OSV_LANES 4
#include "ostrell_batch_bodies.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx512_##name
#define _OSV_TARGET _OSTRELL_AVX512
#define _OSV_LANES 8
#include "ostrell_batch_bodies.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

/* The elementary functions again, on the paired sets of ostrell_simd_x2.h
 * (2 vectors a step for SSE2 and AVX2, 4 for AVX-512): most bodies are long
 * dependent chains, and blocks stepped together run up to 2-3 times as fast.
 * Each function's public pair below names the sets it runs on (sqrt and the
 * roundings are faster on the single ones). */
#define _OSV(name) _ostrell_sse2_x2_##name
#define _OSV_TARGET
#define _OSV_LANES 4
#include "ostrell_simd_dd.h"
#include "ostrell_batch_math.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx2_x2_##name
#define _OSV_TARGET _OSTRELL_AVX2
#define _OSV_LANES 8
#include "ostrell_simd_dd.h"
#include "ostrell_batch_math.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx512_x4_##name
#define _OSV_TARGET _OSTRELL_AVX512
#define _OSV_LANES 32
#include "ostrell_simd_dd.h"
#include "ostrell_batch_math.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

/* A public pair for a binary function with vector bodies: name_isa runs the
 * body of the named path (an unknown value takes the baseline), name the best
 * one; set512 and set are the suffixes of the sets it runs on with AVX-512
 * and on the other paths (empty: single vectors, _x2 / _x4: the paired sets). */
#define _OSTRELL_BATCH_BINARY_SIMD(name, set512, set)                         \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* a, \
                                                  const double* b, double* out, size_t n) \
    {                                                                          \
        switch (isa) {                                                         \
        case OSTRELL_ISA_AVX512: _ostrell_avx512##set512##_batch_##name(a, b, out, n); return; \
        case OSTRELL_ISA_AVX2: _ostrell_avx2##set##_batch_##name(a, b, out, n); return; \
        default: _ostrell_sse2##set##_batch_##name(a, b, out, n); return;     \
        }                                                                      \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* a, const double* b, double* out, \
                                            size_t n)                          \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), a, b, out, n);          \
    }

/* ---- the kernel operations ---------------------------------------------- */
_OSTRELL_BATCH_BINARY_SIMD(add, , )
_OSTRELL_BATCH_BINARY_SIMD(sub, , )
_OSTRELL_BATCH_BINARY_SIMD(mul, , )
_OSTRELL_BATCH_BINARY_SIMD(div, , )

/* The same for a unary function. */
#define _OSTRELL_BATCH_UNARY_SIMD(name, set512, set)                          \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* x, double* out, \
                                                  size_t n)                    \
    {                                                                          \
        switch (isa) {                                                         \
        case OSTRELL_ISA_AVX512: _ostrell_avx512##set512##_batch_##name(x, out, n); return; \
        case OSTRELL_ISA_AVX2: _ostrell_avx2##set##_batch_##name(x, out, n); return; \
        default: _ostrell_sse2##set##_batch_##name(x, out, n); return;         \
        }                                                                      \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), x, out, n);             \
    }

/* As _OSTRELL_BATCH_UNARY_SIMD, but the baseline path runs the row loop:
 * without SSE4.1 rounding instructions the two-lane body is slower than the
 * scalar function, whose libm floor and ceil use them when the CPU has them. */
#define _OSTRELL_BATCH_UNARY_SIMD_WIDE(name)                                   \
    static inline void ostrell_batch_##name##_isa(ostrell_isa isa, const double* x, double* out, \
                                                  size_t n)                    \
    {                                                                          \
        switch (isa) {                                                         \
        case OSTRELL_ISA_AVX512: _ostrell_avx512_batch_##name(x, out, n); return; \
        case OSTRELL_ISA_AVX2: _ostrell_avx2_batch_##name(x, out, n); return;  \
        default: _OSTRELL_BATCH_ROWS1(ostrell_##name, x, out, n); return;      \
        }                                                                      \
    }                                                                          \
    static inline void ostrell_batch_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), x, out, n);             \
    }

/* ---- elementary functions -------------------------------------------------- */
_OSTRELL_BATCH_UNARY_SIMD(sqrt, , )
_OSTRELL_BATCH_UNARY_SIMD(exp, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(log, _x4, _x2)
_OSTRELL_BATCH_BINARY_SIMD(pow, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(sin, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(cos, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(tan, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(sinh, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(cosh, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(tanh, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(atan, _x4, _x2)
_OSTRELL_BATCH_BINARY_SIMD(atan2, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(asin, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD(acos, _x4, _x2)
_OSTRELL_BATCH_UNARY_SIMD_WIDE(floor)
_OSTRELL_BATCH_UNARY_SIMD_WIDE(ceil)
_OSTRELL_BATCH_UNARY_SIMD_WIDE(trunc)
_OSTRELL_BATCH_UNARY_SIMD_WIDE(round)
_OSTRELL_BATCH_BINARY_SIMD(fmod, _x4, _x2)

/* Sine and cosine of each row together (s and c may not overlap; either may
 * be x). */
static inline void ostrell_batch_sincos_isa(ostrell_isa isa, const double* x, double* s, double* c,
                                            size_t n)
{
    switch (isa) {
    case OSTRELL_ISA_AVX512: _ostrell_avx512_x4_batch_sincos(x, s, c, n); return;
    case OSTRELL_ISA_AVX2: _ostrell_avx2_x2_batch_sincos(x, s, c, n); return;
    default: _ostrell_sse2_x2_batch_sincos(x, s, c, n); return;
    }
}

static inline void ostrell_batch_sincos(const double* x, double* s, double* c, size_t n)
{
    ostrell_batch_sincos_isa(ostrell_isa_best(), x, s, c, n);
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_BATCH_H */
