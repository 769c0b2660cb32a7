/* batch/sse2.c: the vector bodies for the x86-64 baseline (two rows per
 * vector, four per step of the paired set) and the path's kernel table.
 * floor, ceil, trunc and round run the row loop: without SSE4.1 rounding
 * instructions the two-lane body is slower than the scalar function, whose
 * libm floor and ceil use them when the CPU has them. */
#include "ostrell.h"
#include "ostrell_math.h"

#include "batch/kernels.h"
#include "batch/rows.h"
#include "simd/x2.h"

/* Single vectors: the kernel operations, sqrt and the roundings. */
#define _OSV(name) _ostrell_sse2_##name
#define _OSV_TARGET 
#define _OSV_LANES 2
#include "batch/bodies.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

/* The paired set: the other elementary functions, whose long dependent
 * chains run up to 2-3 times as fast with blocks stepped together. */
#define _OSV(name) _ostrell_sse2_x2_##name
#define _OSV_TARGET 
#define _OSV_LANES 4
#include "simd/dd.h"
#include "batch/elementary.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

const _ostrell_batch_kernels _ostrell_batch_kernels_sse2 = {
    .add = _ostrell_sse2_batch_add,
    .sub = _ostrell_sse2_batch_sub,
    .mul = _ostrell_sse2_batch_mul,
    .div = _ostrell_sse2_batch_div,
    .sqrt = _ostrell_sse2_batch_sqrt,
    .exp = _ostrell_sse2_x2_batch_exp,
    .log = _ostrell_sse2_x2_batch_log,
    .pow = _ostrell_sse2_x2_batch_pow,
    .sin = _ostrell_sse2_x2_batch_sin,
    .cos = _ostrell_sse2_x2_batch_cos,
    .tan = _ostrell_sse2_x2_batch_tan,
    .sinh = _ostrell_sse2_x2_batch_sinh,
    .cosh = _ostrell_sse2_x2_batch_cosh,
    .tanh = _ostrell_sse2_x2_batch_tanh,
    .atan = _ostrell_sse2_x2_batch_atan,
    .atan2 = _ostrell_sse2_x2_batch_atan2,
    .asin = _ostrell_sse2_x2_batch_asin,
    .acos = _ostrell_sse2_x2_batch_acos,
    .floor = _ostrell_batch_rows_floor,
    .ceil = _ostrell_batch_rows_ceil,
    .trunc = _ostrell_batch_rows_trunc,
    .round = _ostrell_batch_rows_round,
    .fmod = _ostrell_sse2_x2_batch_fmod,
    .sincos = _ostrell_sse2_x2_batch_sincos,
};
