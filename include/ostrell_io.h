/* ostrell_io.h: text and byte conversion of double-double values.
 *
 * The public conversions are plain C functions.  By default they are
 * static inline; a translation unit that defines OSTRELL_IO_EXPORT before
 * including this header gets them as external definitions with default
 * visibility instead, so that a shared object can export them under their
 * plain names (the Python module does this).
 */
#ifndef OSTRELL_IO_H
#define OSTRELL_IO_H

#include <stddef.h>
#include "ostrell.h"

#ifdef OSTRELL_IO_EXPORT
#define OSTRELL_IO_API __attribute__((visibility("default")))
#else
#define OSTRELL_IO_API static inline
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- 16-byte image: hi then lo, each a little-endian binary64 ----------- */

/* Writes the 16-byte image of x to out (any alignment); a null out writes nothing. */
OSTRELL_IO_API void ostrell_to_bytes(void* out, ostrell_t x)
{
    if (!out)
        return;
    _mm_storeu_pd((double*)out, x);
}

/* Reads a value from a 16-byte image (any alignment), unchanged; null gives (+0, +0). */
OSTRELL_IO_API ostrell_t ostrell_from_bytes(const void* in)
{
    if (!in)
        return _mm_setzero_pd();
    return _mm_loadu_pd((const double*)in);
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_IO_H */
