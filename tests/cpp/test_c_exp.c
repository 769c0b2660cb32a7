/* exp, log and pow built as C, compared bit for bit with the C++ build. */
#include "ostrell_math.h"

void c_exp_log_pow(const double* in, double* out)
{
    ostrell_t a = ostrell_from_hi_lo(in[0], in[1]);
    ostrell_t b = ostrell_from_hi_lo(in[2], in[3]);
    ostrell_extract(ostrell_exp(a), &out[0], &out[1]);
    ostrell_extract(ostrell_log(a), &out[2], &out[3]);
    ostrell_extract(ostrell_pow(a, b), &out[4], &out[5]);
}
