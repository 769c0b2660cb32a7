// Complex helpers for the tests: record construction, hex printing, and an
// MPFR complex reference (two mpfr_t) with the normwise error of a result.
#pragma once

#include "test_util.hpp"
#include "ostrell_complex.h"

namespace test {

inline ostrell_complex cpair(ostrell_t re, ostrell_t im)
{
    ostrell_complex z;
    z.real = re;
    z.imag = im;
    return z;
}

inline std::string chex(const ostrell_complex& z) { return "{" + hex(z.real) + ", " + hex(z.imag) + "}"; }

inline ::testing::AssertionResult same_bits(const ostrell_complex& got, const ostrell_complex& want)
{
    if (same_bits(got.real, want.real) && same_bits(got.imag, want.imag))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << chex(got) << " want " << chex(want);
}

// A complex reference value re + im i, 600 bits per part.
struct Cmp {
    static constexpr mpfr_prec_t prec = 600;
    Mp re{prec}, im{prec};
    Cmp() = default;
    explicit Cmp(const ostrell_complex& z) { Mp::of(re.v, z.real); Mp::of(im.v, z.imag); }

    void mul(const Cmp& a, const Cmp& b)
    {
        Mp t(prec);
        mpfr_mul(re.v, a.re.v, b.re.v, MPFR_RNDN);
        mpfr_mul(t.v, a.im.v, b.im.v, MPFR_RNDN);
        mpfr_sub(re.v, re.v, t.v, MPFR_RNDN);
        mpfr_mul(im.v, a.re.v, b.im.v, MPFR_RNDN);
        mpfr_mul(t.v, a.im.v, b.re.v, MPFR_RNDN);
        mpfr_add(im.v, im.v, t.v, MPFR_RNDN);
    }
    // a / b = a * conj(b) / |b|^2
    void div(const Cmp& a, const Cmp& b)
    {
        Mp n(prec), t(prec), r(prec), i(prec);
        b.norm_sqr(n.v);
        mpfr_mul(r.v, a.re.v, b.re.v, MPFR_RNDN);
        mpfr_mul(t.v, a.im.v, b.im.v, MPFR_RNDN);
        mpfr_add(r.v, r.v, t.v, MPFR_RNDN);
        mpfr_mul(i.v, a.im.v, b.re.v, MPFR_RNDN);
        mpfr_mul(t.v, a.re.v, b.im.v, MPFR_RNDN);
        mpfr_sub(i.v, i.v, t.v, MPFR_RNDN);
        mpfr_div(re.v, r.v, n.v, MPFR_RNDN);
        mpfr_div(im.v, i.v, n.v, MPFR_RNDN);
    }
    void norm_sqr(mpfr_t out) const
    {
        Mp t(prec);
        mpfr_sqr(out, re.v, MPFR_RNDN);
        mpfr_sqr(t.v, im.v, MPFR_RNDN);
        mpfr_add(out, out, t.v, MPFR_RNDN);
    }
    void norm(mpfr_t out) const
    {
        norm_sqr(out);
        mpfr_sqrt(out, out, MPFR_RNDN);
    }
};

// Normwise relative error |z - ref| / |ref| in units of 2^-104 (absolute when
// ref is zero).  Componentwise errors are meaningless where a part cancels.
inline double cerr_units(const ostrell_complex& z, const Cmp& ref)
{
    Cmp d(z);
    mpfr_sub(d.re.v, d.re.v, ref.re.v, MPFR_RNDN);
    mpfr_sub(d.im.v, d.im.v, ref.im.v, MPFR_RNDN);
    Mp num(Cmp::prec), den(Cmp::prec);
    d.norm(num.v);
    ref.norm(den.v);
    if (!mpfr_zero_p(den.v)) mpfr_div(num.v, num.v, den.v, MPFR_RNDN);
    mpfr_mul_2si(num.v, num.v, 104, MPFR_RNDN);
    return mpfr_get_d(num.v, MPFR_RNDN);
}

} // namespace test
