/* batch/bodies.h: the list of vector bodies, included by each instruction
 * set's source (batch/sse2.c, avx2.c, avx512.c) once per set (no include
 * guard).  A new vector body is added here, after the primitives it uses. */
#include "simd/dd.h"
#include "batch/arith.h"
#include "batch/elementary.h"
