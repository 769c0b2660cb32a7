/* A C11 user of the installed batch functions: one call, linked with
 * ostrell::batch. */
#include <stdio.h>

#include "ostrell_batch.h"
#include "ostrell_reduce.h"

int main(void)
{
    double a[2 * 5] = {1.0, 0.0, 2.0, 0.0, 3.0, 0.0, 4.0, 0.0, 5.0, 0x1p-60};
    double b[2 * 5] = {3.0, 0.0, 3.0, 0.0, 3.0, 0.0, 3.0, 0.0, 3.0, 0.0};
    double q[2 * 5];
    double hi, lo;
    ostrell_batch_div(a, b, q, 5);
    ostrell_extract(ostrell_sum_rows(q, 5), &hi, &lo);
    printf("C batch: sum of (1..5)/3 = (%a, %a) on path %d\n", hi, lo, (int)ostrell_isa_best());
    return !(q[0] == 1.0 / 3.0 && q[1] != 0.0 && hi == 5.0);
}
