/* batch/kernels.h: the table of per-path entry points.
 *
 * Each instruction set's source (batch/sse2.c, avx2.c, avx512.c) instantiates
 * the generic bodies for its sets of primitives and fills in one table with
 * the body each function runs on that path (single vectors or a paired set,
 * or the scalar row loop where the path has no body).  batch/dispatch.c
 * picks the table of the path and calls through it.
 *
 * The entries are out of line (_OSTRELL_OUTLINE) and carry their path's
 * target attribute: an AVX body is always left through its own return and
 * its vzeroupper (simd/simd.h, rule 4).
 */
#ifndef OSTRELL_BATCH_KERNELS_H
#define OSTRELL_BATCH_KERNELS_H

#include <stddef.h>

typedef void (*_ostrell_batch_fn1)(const double* x, double* out, size_t n);
typedef void (*_ostrell_batch_fn2)(const double* a, const double* b, double* out, size_t n);
typedef void (*_ostrell_batch_fn_sincos)(const double* x, double* s, double* c, size_t n);

typedef struct _ostrell_batch_kernels {
    _ostrell_batch_fn2 add, sub, mul, div;
    _ostrell_batch_fn1 sqrt, exp, log;
    _ostrell_batch_fn2 pow;
    _ostrell_batch_fn1 sin, cos, tan, sinh, cosh, tanh, atan;
    _ostrell_batch_fn2 atan2;
    _ostrell_batch_fn1 asin, acos, floor, ceil, trunc, round;
    _ostrell_batch_fn2 fmod;
    _ostrell_batch_fn_sincos sincos;
} _ostrell_batch_kernels;

extern const _ostrell_batch_kernels _ostrell_batch_kernels_sse2;
extern const _ostrell_batch_kernels _ostrell_batch_kernels_avx2;
extern const _ostrell_batch_kernels _ostrell_batch_kernels_avx512;

#endif /* OSTRELL_BATCH_KERNELS_H */
