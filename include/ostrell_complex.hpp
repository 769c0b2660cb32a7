// ostrell_complex.hpp: the value class complex128 over ostrell_complex.h, and
// the complex circular and hyperbolic functions built from the float128
// functions of ostrell.hpp by the textbook identities.
#ifndef OSTRELL_COMPLEX_HPP
#define OSTRELL_COMPLEX_HPP

#include <complex>
#include <string>

#include "ostrell.hpp"
#include "ostrell_complex.h"

namespace ostrell {

class complex128 {
public:
    ostrell_complex data;

    complex128() : data{_mm_setzero_pd(), _mm_setzero_pd()} {}
    // No default for im: a complex128 built implicitly from one double would
    // make calls such as sin(1.0) ambiguous between float128 and complex128.
    complex128(double re, double im) : data{ostrell_from_double(re), ostrell_from_double(im)} {}
    complex128(float128 re, float128 im) : data{re.data, im.data} {}
    complex128(ostrell_complex v) : data(v) {}
    // Each binary64 part becomes a double-double with a zero low part.
    complex128(const std::complex<double>& v)
        : data{ostrell_from_double(v.real()), ostrell_from_double(v.imag())} {}

    // A real value as (re, +0): assignment only (no converting constructor,
    // which would add candidates to calls overloaded on both classes).
    complex128& operator=(const float128& re)
    {
        data.real = re.data;
        data.imag = _mm_setzero_pd();
        return *this;
    }

    float128 real() const { return data.real; }
    float128 imag() const { return data.imag; }

    // Rounds each part to binary64 as hi + lo.
    operator std::complex<double>() const
    {
        double r_hi, r_lo, i_hi, i_lo;
        ostrell_extract(data.real, &r_hi, &r_lo);
        ostrell_extract(data.imag, &i_hi, &i_lo);
        return std::complex<double>(r_hi + r_lo, i_hi + i_lo);
    }

    complex128 operator+(const complex128& o) const { return ostrell_complex_add(data, o.data); }
    complex128 operator-(const complex128& o) const { return ostrell_complex_sub(data, o.data); }
    complex128 operator*(const complex128& o) const { return ostrell_complex_mul(data, o.data); }
    complex128 operator/(const complex128& o) const { return ostrell_complex_div(data, o.data); }

    complex128& operator+=(const complex128& o) { data = ostrell_complex_add(data, o.data); return *this; }
    complex128& operator-=(const complex128& o) { data = ostrell_complex_sub(data, o.data); return *this; }
    complex128& operator*=(const complex128& o) { data = ostrell_complex_mul(data, o.data); return *this; }
    complex128& operator/=(const complex128& o) { data = ostrell_complex_div(data, o.data); return *this; }

    // "re + im i" or "re - |im| i"; a NaN or negative zero imaginary part
    // takes " + ".
    std::string to_string() const
    {
        float128 im = imag();
        const char* sign = im < float128(0.0) ? " - " : " + ";
        return real().to_string() + sign + ostrell::abs(im).to_string() + "i";
    }
};

inline float128 abs_sqr(const complex128& z) { return ostrell_complex_abs_sqr(z.data); }
inline float128 abs(const complex128& z) { return ostrell_complex_abs(z.data); }

// sin(x + iy) = sin x cosh y + i cos x sinh y
inline complex128 sin(const complex128& z)
{
    float128 x = z.real(), y = z.imag();
    return complex128(sin(x) * cosh(y), cos(x) * sinh(y));
}

// cos(x + iy) = cos x cosh y - i sin x sinh y, the sign taken on sin x
inline complex128 cos(const complex128& z)
{
    float128 x = z.real(), y = z.imag();
    return complex128(cos(x) * cosh(y), (-sin(x)) * sinh(y));
}

inline complex128 tan(const complex128& z) { return sin(z) / cos(z); }

// sinh(x + iy) = sinh x cos y + i cosh x sin y
inline complex128 sinh(const complex128& z)
{
    float128 x = z.real(), y = z.imag();
    return complex128(sinh(x) * cos(y), cosh(x) * sin(y));
}

// cosh(x + iy) = cosh x cos y + i sinh x sin y
inline complex128 cosh(const complex128& z)
{
    float128 x = z.real(), y = z.imag();
    return complex128(cosh(x) * cos(y), sinh(x) * sin(y));
}

inline complex128 tanh(const complex128& z) { return sinh(z) / cosh(z); }

} // namespace ostrell

#include "ostrell_complex_ops.hpp"
#include "ostrell_complex_stream.hpp"

#endif // OSTRELL_COMPLEX_HPP
