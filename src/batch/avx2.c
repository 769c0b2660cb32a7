/* batch/avx2.c: the vector bodies for AVX2 (four rows per vector, eight per
 * step of the paired set) and the path's kernel table.  Every
 * function carries target attributes; the file is built for the baseline. */
#include "ostrell.h"
#include "ostrell_math.h"

#include "batch/kernels.h"
#include "batch/rows.h"
#include "simd/x2.h"

/* Single vectors: the kernel operations, sqrt and the roundings. */
#define _OSV(name) _ostrell_avx2_##name
#define _OSV_TARGET _OSTRELL_AVX2
#define _OSV_LANES 4
#include "batch/bodies.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

/* The paired set: the other elementary functions, whose long dependent
 * chains run up to 2-3 times as fast with blocks stepped together. */
#define _OSV(name) _ostrell_avx2_x2_##name
#define _OSV_TARGET _OSTRELL_AVX2
#define _OSV_LANES 8
#include "simd/dd.h"
#include "batch/elementary.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

const _ostrell_batch_kernels _ostrell_batch_kernels_avx2 = {
    .add = _ostrell_avx2_batch_add,
    .sub = _ostrell_avx2_batch_sub,
    .mul = _ostrell_avx2_batch_mul,
    .div = _ostrell_avx2_batch_div,
    .sqrt = _ostrell_avx2_batch_sqrt,
    .exp = _ostrell_avx2_x2_batch_exp,
    .log = _ostrell_avx2_x2_batch_log,
    .pow = _ostrell_avx2_x2_batch_pow,
    .sin = _ostrell_avx2_x2_batch_sin,
    .cos = _ostrell_avx2_x2_batch_cos,
    .tan = _ostrell_avx2_x2_batch_tan,
    .sinh = _ostrell_avx2_x2_batch_sinh,
    .cosh = _ostrell_avx2_x2_batch_cosh,
    .tanh = _ostrell_avx2_x2_batch_tanh,
    .atan = _ostrell_avx2_x2_batch_atan,
    .atan2 = _ostrell_avx2_x2_batch_atan2,
    .asin = _ostrell_avx2_x2_batch_asin,
    .acos = _ostrell_avx2_x2_batch_acos,
    .floor = _ostrell_avx2_batch_floor,
    .ceil = _ostrell_avx2_batch_ceil,
    .trunc = _ostrell_avx2_batch_trunc,
    .round = _ostrell_avx2_batch_round,
    .fmod = _ostrell_avx2_x2_batch_fmod,
    .sincos = _ostrell_avx2_x2_batch_sincos,
};
