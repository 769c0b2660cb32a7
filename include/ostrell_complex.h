/* ostrell_complex.h: complex numbers with double-double real and imaginary
 * parts, and their arithmetic.
 *
 * Each function is a fixed sequence of the kernel operations of ostrell.h,
 * with their arguments in the order written, so every component is
 * determined bit for bit.  No scaling is done beyond Smith's ratio: special
 * values and overflow behave as in the real operations.
 *
 * Compiles as C11 and as C++17.
 */
#ifndef OSTRELL_COMPLEX_H
#define OSTRELL_COMPLEX_H

#include "ostrell.h"
#include "ostrell_utils.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ostrell_complex {
    ostrell_t real;
    ostrell_t imag;
} ostrell_complex;

static inline ostrell_complex _ostrell_complex_make(ostrell_t real, ostrell_t imag)
{
    ostrell_complex z;
    z.real = real;
    z.imag = imag;
    return z;
}

static inline ostrell_complex ostrell_complex_add(ostrell_complex a, ostrell_complex b)
{
    ostrell_t real = ostrell_add(a.real, b.real);
    ostrell_t imag = ostrell_add(a.imag, b.imag);
    return _ostrell_complex_make(real, imag);
}

static inline ostrell_complex ostrell_complex_sub(ostrell_complex a, ostrell_complex b)
{
    ostrell_t real = ostrell_sub(a.real, b.real);
    ostrell_t imag = ostrell_sub(a.imag, b.imag);
    return _ostrell_complex_make(real, imag);
}

/* (a.r + a.i i)(b.r + b.i i) by the four products. */
static inline ostrell_complex ostrell_complex_mul(ostrell_complex a, ostrell_complex b)
{
    ostrell_t ac = ostrell_mul(a.real, b.real);
    ostrell_t bd = ostrell_mul(a.imag, b.imag);
    ostrell_t ad = ostrell_mul(a.real, b.imag);
    ostrell_t bc = ostrell_mul(a.imag, b.real);
    ostrell_t real = ostrell_sub(ac, bd);
    ostrell_t imag = ostrell_add(ad, bc);
    return _ostrell_complex_make(real, imag);
}

/* Smith's division: the ratio is taken by the divisor component of larger
 * magnitude.  Branch 1 only when |b.real| > |b.imag| strictly; equal
 * magnitudes, a NaN, and a zero divisor (r = 0/0 = NaN) take branch 2. */
static inline ostrell_complex ostrell_complex_div(ostrell_complex a, ostrell_complex b)
{
    ostrell_t r, den, real, imag;
    if (ostrell_gt(ostrell_abs(b.real), ostrell_abs(b.imag))) {
        r = ostrell_div(b.imag, b.real);
        den = ostrell_add(b.real, ostrell_mul(r, b.imag));
        real = ostrell_div(ostrell_add(a.real, ostrell_mul(a.imag, r)), den);
        imag = ostrell_div(ostrell_sub(a.imag, ostrell_mul(a.real, r)), den);
    } else {
        r = ostrell_div(b.real, b.imag);
        den = ostrell_add(b.imag, ostrell_mul(r, b.real));
        real = ostrell_div(ostrell_add(ostrell_mul(a.real, r), a.imag), den);
        imag = ostrell_div(ostrell_sub(ostrell_mul(a.imag, r), a.real), den);
    }
    return _ostrell_complex_make(real, imag);
}

/* real^2 + imag^2, squares formed directly: they overflow above ~1.34e154. */
static inline ostrell_t ostrell_complex_abs_sqr(ostrell_complex a)
{
    ostrell_t rr = ostrell_mul(a.real, a.real);
    ostrell_t ii = ostrell_mul(a.imag, a.imag);
    return ostrell_add(rr, ii);
}

/* The modulus, sqrt(abs_sqr(a)): infinite whenever the squares overflow. */
static inline ostrell_t ostrell_complex_abs(ostrell_complex a)
{
    return ostrell_sqrt(ostrell_complex_abs_sqr(a));
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_COMPLEX_H */
