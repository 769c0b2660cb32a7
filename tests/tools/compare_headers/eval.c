/* Evaluates function number fn on n rows of up to four argument pairs, with
 * the headers on the include path; compiled once per header tree with
 * -DEVAL=<name>.  A row's result is two pairs (the second +0 unless used);
 * to_string puts the first 32 bytes of its text there. */
#include <string.h>

#include "ostrell.h"
#include "ostrell_complex.h"
#include "ostrell_io.h"
#include "ostrell_math.h"

#ifndef EVAL
#error "define EVAL, the name of the evaluation function"
#endif

void EVAL(int fn, const ostrell_t* in, ostrell_t* out, long n)
{
    long i;
    for (i = 0; i < n; i++) {
        const ostrell_t* x = in + 4 * i;
        ostrell_t* o = out + 2 * i;
        ostrell_complex a, b, z;
        double a_hi, b_hi, lo;
        char buf[128];
        a.real = x[0]; a.imag = x[1]; b.real = x[2]; b.imag = x[3];
        o[1] = _mm_setzero_pd();
        switch (fn) {
        case 0: case 30: o[0] = ostrell_add(x[0], x[1]); break;
        case 1: case 31: o[0] = ostrell_sub(x[0], x[1]); break;
        case 2: case 32: o[0] = ostrell_mul(x[0], x[1]); break;
        case 3: o[0] = ostrell_div(x[0], x[1]); break;
        case 4: o[0] = ostrell_sqrt(x[0]); break;
        case 5:
            ostrell_extract(x[0], &a_hi, &lo);
            ostrell_extract(x[1], &b_hi, &lo);
            o[0] = ostrell_from_double(ostrell_exact_mul_err(a_hi, b_hi, a_hi * b_hi));
            break;
        case 6: o[0] = ostrell_floor(x[0]); break;
        case 7: o[0] = ostrell_ceil(x[0]); break;
        case 8: o[0] = ostrell_trunc(x[0]); break;
        case 9: o[0] = ostrell_round(x[0]); break;
        case 10: o[0] = ostrell_fmod(x[0], x[1]); break;
        case 11: o[0] = ostrell_exp(x[0]); break;
        case 12: o[0] = ostrell_log(x[0]); break;
        case 13: o[0] = ostrell_pow(x[0], x[1]); break;
        case 14: o[0] = ostrell_sinh(x[0]); break;
        case 15: o[0] = ostrell_cosh(x[0]); break;
        case 16: o[0] = ostrell_tanh(x[0]); break;
        case 17: ostrell_sincos(x[0], &o[0], &o[1]); break;
        case 18: o[0] = ostrell_tan(x[0]); break;
        case 19: o[0] = ostrell_atan(x[0]); break;
        case 20: o[0] = ostrell_asin(x[0]); break;
        case 21: o[0] = ostrell_acos(x[0]); break;
        case 22: o[0] = ostrell_atan2(x[0], x[1]); break;
        case 23: z = ostrell_complex_add(a, b); o[0] = z.real; o[1] = z.imag; break;
        case 24: z = ostrell_complex_sub(a, b); o[0] = z.real; o[1] = z.imag; break;
        case 25: z = ostrell_complex_mul(a, b); o[0] = z.real; o[1] = z.imag; break;
        case 26: z = ostrell_complex_div(a, b); o[0] = z.real; o[1] = z.imag; break;
        case 27: o[0] = ostrell_complex_abs(a); break;
        case 28:
            ostrell_to_string_prec(buf, sizeof buf, x[0], 1 + (int)(i % 40));
            memset(o, 0, 2 * sizeof *o);
            memcpy(o, buf, strlen(buf) < 32 ? strlen(buf) : 32);
            break;
        case 29:
            ostrell_to_string_prec(buf, sizeof buf, x[0], 1 + (int)(i % 40));
            o[0] = ostrell_from_string(buf);
            break;
        }
    }
}
