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
 * Declarations only: the functions are compiled once into the library
 * ostrell::batch (CMake; libostrell_batch.a), which a program using them
 * links.  The header compiles as C11 and as C++17 under any flags; the
 * library is built for the x86-64 baseline, wider instruction sets enabled
 * per function, never for the includer.
 *
 * add, sub, mul and div have vector bodies on the layer of the library's
 * src/simd/simd.h, which states the rules every vector kernel follows (exact
 * scalar operation order, no FMA, flagged lanes recomputed by the scalar
 * kernel out of line).  Every elementary function has vector bodies on the
 * same layer too, most of them on paired sets of vectors (32 rows a step
 * with AVX-512, 8 with AVX2, 4 with SSE2); floor, ceil, trunc and round keep
 * the scalar row loop on the baseline path.  The binary64 seeds that log,
 * pow and the inverse circular functions take from the libm (log, atan) are
 * computed row by row by the libm itself, so they are the scalar functions'
 * seeds.
 */
#ifndef OSTRELL_BATCH_H
#define OSTRELL_BATCH_H

#include <stddef.h>

#include "ostrell.h"
#include "ostrell_math.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum ostrell_isa {
    OSTRELL_ISA_SSE2 = 0,   /* the x86-64 baseline: two rows per step */
    OSTRELL_ISA_AVX2 = 1,   /* four rows per step */
    OSTRELL_ISA_AVX512 = 2  /* eight rows per step (AVX-512F) */
} ostrell_isa;

/* 1 when this CPU (and the operating system) can run the path. */
int ostrell_isa_supported(ostrell_isa isa);

/* The widest path this CPU supports, decided on the first call (safe from
 * any number of threads). */
ostrell_isa ostrell_isa_best(void);

/* One pair per function: name_isa(isa, ...) runs the named path (an unknown
 * value takes the baseline), name(...) the best one.  Unary functions read
 * x and write out, binary ones read a and b; each is n rows. */

/* ---- the kernel operations ---------------------------------------------- */
void ostrell_batch_add_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                           size_t n);
void ostrell_batch_add(const double* a, const double* b, double* out, size_t n);
void ostrell_batch_sub_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                           size_t n);
void ostrell_batch_sub(const double* a, const double* b, double* out, size_t n);
void ostrell_batch_mul_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                           size_t n);
void ostrell_batch_mul(const double* a, const double* b, double* out, size_t n);
void ostrell_batch_div_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                           size_t n);
void ostrell_batch_div(const double* a, const double* b, double* out, size_t n);

/* ---- elementary functions -------------------------------------------------- */
void ostrell_batch_sqrt_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_sqrt(const double* x, double* out, size_t n);
void ostrell_batch_exp_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_exp(const double* x, double* out, size_t n);
void ostrell_batch_log_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_log(const double* x, double* out, size_t n);
void ostrell_batch_pow_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                           size_t n);
void ostrell_batch_pow(const double* a, const double* b, double* out, size_t n);
void ostrell_batch_sin_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_sin(const double* x, double* out, size_t n);
void ostrell_batch_cos_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_cos(const double* x, double* out, size_t n);
void ostrell_batch_tan_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_tan(const double* x, double* out, size_t n);
void ostrell_batch_sinh_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_sinh(const double* x, double* out, size_t n);
void ostrell_batch_cosh_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_cosh(const double* x, double* out, size_t n);
void ostrell_batch_tanh_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_tanh(const double* x, double* out, size_t n);
void ostrell_batch_atan_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_atan(const double* x, double* out, size_t n);
void ostrell_batch_atan2_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                             size_t n);
void ostrell_batch_atan2(const double* a, const double* b, double* out, size_t n);
void ostrell_batch_asin_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_asin(const double* x, double* out, size_t n);
void ostrell_batch_acos_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_acos(const double* x, double* out, size_t n);
void ostrell_batch_floor_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_floor(const double* x, double* out, size_t n);
void ostrell_batch_ceil_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_ceil(const double* x, double* out, size_t n);
void ostrell_batch_trunc_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_trunc(const double* x, double* out, size_t n);
void ostrell_batch_round_isa(ostrell_isa isa, const double* x, double* out, size_t n);
void ostrell_batch_round(const double* x, double* out, size_t n);
void ostrell_batch_fmod_isa(ostrell_isa isa, const double* a, const double* b, double* out,
                            size_t n);
void ostrell_batch_fmod(const double* a, const double* b, double* out, size_t n);

/* Sine and cosine of each row together (s and c may not overlap; either may
 * be x). */
void ostrell_batch_sincos_isa(ostrell_isa isa, const double* x, double* s, double* c, size_t n);
void ostrell_batch_sincos(const double* x, double* s, double* c, size_t n);

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_BATCH_H */
