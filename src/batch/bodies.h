/* ostrell_batch_bodies.h: the list of vector bodies, included by
 * ostrell_batch.h once per instruction set (no include guard).  A new vector
 * body is added here, after the primitives it uses. */
#include "ostrell_simd_dd.h"
#include "ostrell_batch_arith.h"
#include "ostrell_batch_math.h"
