/* The plain headers compile as C11: this translation unit is C. */
#include "ostrell.h"
#include "ostrell_utils.h"
#include "ostrell_consts.h"
#include "ostrell_math.h"
#include "ostrell_io.h"
#include "ostrell_complex.h"

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

/* Complex quotient and modulus from C: in = {a.re hi, lo, a.im hi, lo, b...}. */
void c_complex_div_abs(const double* in, double* out)
{
    ostrell_complex a, b, q;
    a.real = ostrell_from_hi_lo(in[0], in[1]);
    a.imag = ostrell_from_hi_lo(in[2], in[3]);
    b.real = ostrell_from_hi_lo(in[4], in[5]);
    b.imag = ostrell_from_hi_lo(in[6], in[7]);
    q = ostrell_complex_div(a, b);
    ostrell_extract(q.real, &out[0], &out[1]);
    ostrell_extract(q.imag, &out[2], &out[3]);
    ostrell_extract(ostrell_complex_abs(b), &out[4], &out[5]);
}
