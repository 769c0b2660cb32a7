/* The plain headers compile as C11: this translation unit is C. */
#include "ostrell.h"
#include "ostrell_utils.h"
#include "ostrell_consts.h"
#include "ostrell_math.h"
#include "ostrell_io.h"

/* Called from the C++ tests: the C build gives the same bits. */
void c_add_mul_div_sqrt(const double* in, double* out)
{
    ostrell_t a = ostrell_from_hi_lo(in[0], in[1]);
    ostrell_t b = ostrell_from_hi_lo(in[2], in[3]);
    ostrell_extract(ostrell_add(a, b), &out[0], &out[1]);
    ostrell_extract(ostrell_sub(a, b), &out[2], &out[3]);
    ostrell_extract(ostrell_mul(a, b), &out[4], &out[5]);
    ostrell_extract(ostrell_div(a, b), &out[6], &out[7]);
    ostrell_extract(ostrell_sqrt(ostrell_abs(a)), &out[8], &out[9]);
}
