/* The batch elementary functions built as C11, called from
 * test_batch_math.cpp to check that this build gives the C++ build's bits. */
#include <stdlib.h>
#include <string.h>

#include "ostrell_batch.h"

/* name as in ostrell_batch_NAME, or sincos_s / sincos_c for one output of
 * sincos; b is read by pow, atan2 and fmod only; 1 if the name is known. */
int c_batch_math(int isa, const char* name, const double* a, const double* b, double* out, size_t n)
{
    ostrell_isa p = (ostrell_isa)isa;
#define U(f) if (strcmp(name, #f) == 0) { ostrell_batch_##f##_isa(p, a, out, n); return 1; }
#define B(f) if (strcmp(name, #f) == 0) { ostrell_batch_##f##_isa(p, a, b, out, n); return 1; }
    U(sqrt) U(exp) U(log) B(pow) U(sin) U(cos) U(tan) U(sinh) U(cosh) U(tanh) U(atan) B(atan2)
    U(asin) U(acos) U(floor) U(ceil) U(trunc) U(round) B(fmod)
#undef U
#undef B
    if (strncmp(name, "sincos_", 7) == 0) {
        double* other = (double*)malloc(2 * n * sizeof(double) + 1);
        if (name[7] == 's')
            ostrell_batch_sincos_isa(p, a, out, other, n);
        else
            ostrell_batch_sincos_isa(p, a, other, out, n);
        free(other);
        return 1;
    }
    return 0;
}
