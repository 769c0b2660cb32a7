/* ostrell_math.h: elementary functions on double-double values.
 *
 * Every function is a fixed sequence of the kernel operations of ostrell.h
 * and the tables of ostrell_consts.h; special arguments are decided on the
 * high part and give special results with a low part of +0.
 */
#ifndef OSTRELL_MATH_H
#define OSTRELL_MATH_H

#include <stdint.h>
#include "ostrell.h"
#include "ostrell_utils.h"
#include "ostrell_consts.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ======== rounding and remainder ======================================== */

/* ======== exponential, logarithm, power ================================= */

/* ======== hyperbolic functions ========================================== */

/* ======== circular functions ============================================ */

/* ======== inverse circular functions ==================================== */

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_MATH_H */
