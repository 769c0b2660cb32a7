/* The consumer's own code, built with its own -ffast-math -march=haswell:
 * a * b + c contracts to a fused multiply-add.  It
 * includes no ostrell header (they refuse -ffast-math). */
#include <stddef.h>

void fast_axpy(const double* a, const double* b, double* c, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i)
        c[i] = a[i] * b[i] + c[i];
}
