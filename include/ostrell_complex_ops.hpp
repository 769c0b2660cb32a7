// ostrell_complex_ops.hpp: comparison, sign and conjugate of complex128, and
// complex128 with a float128 or double on either side.  A real operand r is
// promoted to complex128(r, +0) and the complex operation follows, so
// `z * 2.0` has the bits of `z * complex128(2.0, 0.0)` (a zero imaginary part
// takes part in the products: the same signed zeros and NaNs as that form).
#ifndef OSTRELL_COMPLEX_OPS_HPP
#define OSTRELL_COMPLEX_OPS_HPP

#include "ostrell_complex.hpp"

namespace ostrell {

// Both parts equal as float128 (a NaN part is unequal to everything).
inline bool operator==(const complex128& a, const complex128& b)
{
    return a.real() == b.real() && a.imag() == b.imag();
}
inline bool operator!=(const complex128& a, const complex128& b) { return !(a == b); }

// Each part negated by ostrell_neg (both lanes' sign bits flipped).
inline complex128 operator-(const complex128& z) { return complex128(-z.real(), -z.imag()); }
inline complex128 operator+(const complex128& z) { return z; }
inline complex128 conj(const complex128& z) { return complex128(z.real(), -z.imag()); }

inline complex128 _promote(const float128& r) { return complex128(r, float128(0.0)); }
inline complex128 _promote(double r) { return complex128(r, 0.0); }

// One set per real type; the double set is an exact match for int and double
// operands, so those never go through float128 first.
#define OSTRELL_COMPLEX_MIXED(Real)                                                              \
    inline complex128 operator+(const complex128& a, Real b) { return a + _promote(b); }          \
    inline complex128 operator-(const complex128& a, Real b) { return a - _promote(b); }          \
    inline complex128 operator*(const complex128& a, Real b) { return a * _promote(b); }          \
    inline complex128 operator/(const complex128& a, Real b) { return a / _promote(b); }          \
    inline complex128 operator+(Real a, const complex128& b) { return _promote(a) + b; }          \
    inline complex128 operator-(Real a, const complex128& b) { return _promote(a) - b; }          \
    inline complex128 operator*(Real a, const complex128& b) { return _promote(a) * b; }          \
    inline complex128 operator/(Real a, const complex128& b) { return _promote(a) / b; }          \
    inline complex128& operator+=(complex128& a, Real b) { return a += _promote(b); }             \
    inline complex128& operator-=(complex128& a, Real b) { return a -= _promote(b); }             \
    inline complex128& operator*=(complex128& a, Real b) { return a *= _promote(b); }             \
    inline complex128& operator/=(complex128& a, Real b) { return a /= _promote(b); }             \
    inline bool operator==(const complex128& a, Real b) { return a == _promote(b); }              \
    inline bool operator!=(const complex128& a, Real b) { return a != _promote(b); }              \
    inline bool operator==(Real a, const complex128& b) { return _promote(a) == b; }              \
    inline bool operator!=(Real a, const complex128& b) { return _promote(a) != b; }

OSTRELL_COMPLEX_MIXED(const float128&)
OSTRELL_COMPLEX_MIXED(double)
#undef OSTRELL_COMPLEX_MIXED

} // namespace ostrell

#endif // OSTRELL_COMPLEX_OPS_HPP
