/* batch/rows.h: what the vector bodies share: the scalar row loops they fall
 * back on, the libm seeds, and the constants of their loops.
 *
 * The row loops run the scalar functions of ostrell.h / ostrell_math.h one
 * row at a time: for the flagged blocks of the vector bodies, their peeled
 * head and their tail, and as the whole of a path without a vector body.
 * They are defined in batch/rows.c, compiled for the x86-64 baseline, and
 * always called out of line (simd/simd.h, rule 4).
 */
#ifndef OSTRELL_BATCH_ROWS_H
#define OSTRELL_BATCH_ROWS_H

#include <stddef.h>

#include "simd/simd.h"

/* out[i] = op(a[i]) / op(a[i], b[i]) one row at a time. */
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

enum { _OSTRELL_OP_ADD, _OSTRELL_OP_SUB, _OSTRELL_OP_MUL, _OSTRELL_OP_DIV };
enum { _OSTRELL_STORE_UNALIGNED, _OSTRELL_STORE_ALIGNED, _OSTRELL_STORE_STREAM };
enum { _OSTRELL_INV_ATAN, _OSTRELL_INV_ASIN, _OSTRELL_INV_ACOS, _OSTRELL_INV_ATAN2 };

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
/* Rows per chunk of libm seeds (on the stack of the vector loop); a multiple
 * of every set's rows a step. */
#define _OSTRELL_BATCH_LOG_CHUNK 64

/* The kernel operation op (_OSTRELL_OP_*) on rows [0, n). */
void _ostrell_batch_rows_arith(int op, const double* a, const double* b, double* out, size_t n);

/* The elementary functions on rows [0, n). */
void _ostrell_batch_rows_sqrt(const double* x, double* out, size_t n);
void _ostrell_batch_rows_exp(const double* x, double* out, size_t n);
void _ostrell_batch_rows_log(const double* x, double* out, size_t n);
void _ostrell_batch_rows_sin(const double* x, double* out, size_t n);
void _ostrell_batch_rows_cos(const double* x, double* out, size_t n);
void _ostrell_batch_rows_tan(const double* x, double* out, size_t n);
void _ostrell_batch_rows_sinh(const double* x, double* out, size_t n);
void _ostrell_batch_rows_cosh(const double* x, double* out, size_t n);
void _ostrell_batch_rows_tanh(const double* x, double* out, size_t n);
void _ostrell_batch_rows_floor(const double* x, double* out, size_t n);
void _ostrell_batch_rows_ceil(const double* x, double* out, size_t n);
void _ostrell_batch_rows_trunc(const double* x, double* out, size_t n);
void _ostrell_batch_rows_round(const double* x, double* out, size_t n);
void _ostrell_batch_rows_pow(const double* a, const double* b, double* out, size_t n);
void _ostrell_batch_rows_fmod(const double* a, const double* b, double* out, size_t n);
void _ostrell_batch_rows_sincos(const double* x, double* s, double* c, size_t n);
/* The inverse circular function fn (_OSTRELL_INV_*; b is only read by atan2). */
void _ostrell_batch_rows_inv(int fn, const double* a, const double* b, double* out, size_t n);

/* seeds[2 i] = log(x[2 i]), the binary64 seed of ostrell_log, where the
 * vector body takes the row (0 < hi <= DBL_MAX); 0 elsewhere (flagged). */
void _ostrell_batch_log_seeds(const double* x, double* seeds, size_t n);
/* seeds[2 i] = log|x[2 i]|, the seed of ostrell_log for pow's |base|, where
 * the high part is finite and not zero; 0 elsewhere (flagged). */
void _ostrell_batch_log_abs_seeds(const double* x, double* seeds, size_t n);
/* seeds[2 i] = atan(z[2 i]), the binary64 seed of _ostrell_atan_near_zero. */
void _ostrell_batch_atan_seeds(const double* z, double* seeds, size_t n);

#endif /* OSTRELL_BATCH_ROWS_H */
