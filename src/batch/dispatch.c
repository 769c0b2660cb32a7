/* batch/dispatch.c: the run-time choice of path and the public functions of
 * ostrell_batch.h, each calling the entry of its path's kernel table. */
#include <stdatomic.h>

#include "ostrell_batch.h"

#include "batch/kernels.h"

int ostrell_isa_supported(ostrell_isa isa)
{
    __builtin_cpu_init();
    switch (isa) {
    case OSTRELL_ISA_SSE2: return 1;
    case OSTRELL_ISA_AVX2: return __builtin_cpu_supports("avx2") != 0;
    case OSTRELL_ISA_AVX512: return __builtin_cpu_supports("avx512f") != 0;
    }
    return 0;
}

/* Threads making their first call together may each compute the choice;
 * they store the same value, and the atomic makes that race-free. */
ostrell_isa ostrell_isa_best(void)
{
    static atomic_int best = -1;
    int b = atomic_load_explicit(&best, memory_order_relaxed);
    if (b < 0) {
        b = ostrell_isa_supported(OSTRELL_ISA_AVX512) ? OSTRELL_ISA_AVX512
          : ostrell_isa_supported(OSTRELL_ISA_AVX2)   ? OSTRELL_ISA_AVX2
                                                      : OSTRELL_ISA_SSE2;
        atomic_store_explicit(&best, b, memory_order_relaxed);
    }
    return (ostrell_isa)b;
}

/* The kernel table of a path; an unknown value takes the baseline. */
static const _ostrell_batch_kernels* _ostrell_batch_path(ostrell_isa isa)
{
    switch (isa) {
    case OSTRELL_ISA_AVX512: return &_ostrell_batch_kernels_avx512;
    case OSTRELL_ISA_AVX2: return &_ostrell_batch_kernels_avx2;
    default: return &_ostrell_batch_kernels_sse2;
    }
}

/* The public pair of a function: name_isa runs the named path, name the
 * best one. */
#define _OSTRELL_BATCH_UNARY(name)                                             \
    void ostrell_batch_##name##_isa(ostrell_isa isa, const double* x, double* out, size_t n) \
    {                                                                          \
        _ostrell_batch_path(isa)->name(x, out, n);                             \
    }                                                                          \
    void ostrell_batch_##name(const double* x, double* out, size_t n)          \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), x, out, n);             \
    }

#define _OSTRELL_BATCH_BINARY(name)                                            \
    void ostrell_batch_##name##_isa(ostrell_isa isa, const double* a, const double* b, \
                                    double* out, size_t n)                     \
    {                                                                          \
        _ostrell_batch_path(isa)->name(a, b, out, n);                          \
    }                                                                          \
    void ostrell_batch_##name(const double* a, const double* b, double* out, size_t n) \
    {                                                                          \
        ostrell_batch_##name##_isa(ostrell_isa_best(), a, b, out, n);          \
    }

_OSTRELL_BATCH_BINARY(add)
_OSTRELL_BATCH_BINARY(sub)
_OSTRELL_BATCH_BINARY(mul)
_OSTRELL_BATCH_BINARY(div)

_OSTRELL_BATCH_UNARY(sqrt)
_OSTRELL_BATCH_UNARY(exp)
_OSTRELL_BATCH_UNARY(log)
_OSTRELL_BATCH_BINARY(pow)
_OSTRELL_BATCH_UNARY(sin)
_OSTRELL_BATCH_UNARY(cos)
_OSTRELL_BATCH_UNARY(tan)
_OSTRELL_BATCH_UNARY(sinh)
_OSTRELL_BATCH_UNARY(cosh)
_OSTRELL_BATCH_UNARY(tanh)
_OSTRELL_BATCH_UNARY(atan)
_OSTRELL_BATCH_BINARY(atan2)
_OSTRELL_BATCH_UNARY(asin)
_OSTRELL_BATCH_UNARY(acos)
_OSTRELL_BATCH_UNARY(floor)
_OSTRELL_BATCH_UNARY(ceil)
_OSTRELL_BATCH_UNARY(trunc)
_OSTRELL_BATCH_UNARY(round)
_OSTRELL_BATCH_BINARY(fmod)

void ostrell_batch_sincos_isa(ostrell_isa isa, const double* x, double* s, double* c, size_t n)
{
    _ostrell_batch_path(isa)->sincos(x, s, c, n);
}

void ostrell_batch_sincos(const double* x, double* s, double* c, size_t n)
{
    ostrell_batch_sincos_isa(ostrell_isa_best(), x, s, c, n);
}
