/* ostrell_reduce.h compiles as C11: the sums from C, called by test_reduce.cpp. */
#include "ostrell_reduce.h"

/* out = {sum_f64 hi, lo, sum_rows hi, lo, dot hi, lo} on the path isa. */
void c_reductions(int isa, const double* x, const double* a, const double* b, size_t n, double* out)
{
    ostrell_extract(ostrell_sum_f64_isa((ostrell_isa)isa, x, n), &out[0], &out[1]);
    ostrell_extract(ostrell_sum_rows_isa((ostrell_isa)isa, a, n), &out[2], &out[3]);
    ostrell_extract(ostrell_dot_rows_isa((ostrell_isa)isa, a, b, n), &out[4], &out[5]);
}
