/* Links the consumer's fast-math code and the batch library together. */
#include <stdio.h>

#include "ostrell_batch.h"

void fast_axpy(const double* a, const double* b, double* c, size_t n);

int main(void)
{
    double a[4] = {1.5, 0.0, 2.5, 0.0}, c[4] = {1.0, 1.0, 1.0, 1.0}, s[4];
    fast_axpy(a, a, c, 4);
    ostrell_batch_add(a, a, s, 2);
    printf("fast consumer: %g %g, batch %g %g\n", c[0], c[2], s[0], s[2]);
    return !(c[0] == 3.25 && s[2] == 5.0);
}
