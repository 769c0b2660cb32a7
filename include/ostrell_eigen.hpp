// ostrell_eigen.hpp: float128 and complex128 as scalar types of Eigen 3.4
// (Eigen::Matrix<ostrell::float128, ...>): Eigen::NumTraits for both, and
// the few functions Eigen finds by argument-dependent lookup that the value
// headers do not already give.  Optional: included by no other header;
// include it after Eigen's own headers or before, either works.
//
// Eigen's decompositions then run on the scalar operators (partialPivLu,
// fullPivLu, householderQr, llt, ldlt, JacobiSVD, BDCSVD,
// SelfAdjointEigenSolver, ...): their own order of operations, not that of
// ostrell_linalg.h, and one value at a time.  For large dense products and
// solves ostrell_linalg.h is much faster (bench_gemm).
#ifndef OSTRELL_EIGEN_HPP
#define OSTRELL_EIGEN_HPP

#include <limits>

#include <Eigen/Core>

#include "ostrell.hpp"
#include "ostrell_complex.hpp"

namespace ostrell {

// Eigen's real/imag of a complex scalar (std::real-style free functions).
inline float128 real(const complex128& z) { return z.real(); }
inline float128 imag(const complex128& z) { return z.imag(); }
inline float128 real(const float128& x) { return x; }
inline float128 imag(const float128&) { return float128(0.0); }
inline float128 conj(const float128& x) { return x; }
inline float128 abs2(const float128& x) { return x * x; }
inline float128 abs2(const complex128& z) { return abs_sqr(z); }
inline bool isfinite(const complex128& z) { return isfinite(z.real()) && isfinite(z.imag()); }
inline bool isnan(const complex128& z) { return isnan(z.real()) || isnan(z.imag()); }
inline bool isinf(const complex128& z) { return isinf(z.real()) || isinf(z.imag()); }

} // namespace ostrell

namespace Eigen {

template <> struct NumTraits<ostrell::float128> : GenericNumTraits<ostrell::float128> {
    typedef ostrell::float128 Real;
    typedef ostrell::float128 NonInteger;
    typedef ostrell::float128 Nested;
    typedef ostrell::float128 Literal;
    enum {
        IsComplex = 0,
        IsInteger = 0,
        IsSigned = 1,
        RequireInitialization = 1,
        ReadCost = 2,
        AddCost = 10,  // ~20 binary64 operations, two to a cycle
        MulCost = 12
    };
    // 2^-104, the unit the library states its errors in.
    static inline Real epsilon() { return std::numeric_limits<ostrell::float128>::epsilon(); }
    // What isApprox and the rank decisions compare against: ~2^-90, about
    // 10^4 units of the arithmetic, as Eigen's double uses 1e-12 for 2^-52.
    static inline Real dummy_precision() { return ostrell::ldexp(Real(1.0), -90); }
    static inline int digits10() { return std::numeric_limits<ostrell::float128>::digits10; }
    static inline int max_digits10() { return std::numeric_limits<ostrell::float128>::max_digits10; }
    static inline int digits() { return std::numeric_limits<ostrell::float128>::digits; }
    static inline int min_exponent() { return std::numeric_limits<ostrell::float128>::min_exponent; }
    static inline int max_exponent() { return std::numeric_limits<ostrell::float128>::max_exponent; }
    static inline Real highest() { return std::numeric_limits<ostrell::float128>::max(); }
    static inline Real lowest() { return std::numeric_limits<ostrell::float128>::lowest(); }
    static inline Real infinity() { return std::numeric_limits<ostrell::float128>::infinity(); }
    static inline Real quiet_NaN() { return std::numeric_limits<ostrell::float128>::quiet_NaN(); }
};

template <> struct NumTraits<ostrell::complex128> : GenericNumTraits<ostrell::complex128> {
    typedef ostrell::float128 Real;
    typedef ostrell::complex128 NonInteger;
    typedef ostrell::complex128 Nested;
    typedef ostrell::complex128 Literal;
    enum {
        IsComplex = 1,
        IsInteger = 0,
        IsSigned = 1,
        RequireInitialization = 1,
        ReadCost = 4,
        AddCost = 2 * NumTraits<Real>::AddCost,
        MulCost = 4 * NumTraits<Real>::MulCost + 2 * NumTraits<Real>::AddCost
    };
    static inline Real epsilon() { return NumTraits<Real>::epsilon(); }
    static inline Real dummy_precision() { return NumTraits<Real>::dummy_precision(); }
    static inline int digits10() { return NumTraits<Real>::digits10(); }
    static inline int max_digits10() { return NumTraits<Real>::max_digits10(); }
    static inline int digits() { return NumTraits<Real>::digits(); }
    static inline Real highest() { return NumTraits<Real>::highest(); }
    static inline Real lowest() { return NumTraits<Real>::lowest(); }
    static inline Real infinity() { return NumTraits<Real>::infinity(); }
    static inline Real quiet_NaN() { return NumTraits<Real>::quiet_NaN(); }
};

// complex128 times float128 (and the reverse) without promoting the real
// operand first: the value headers have these mixed operators.
template <typename BinaryOp>
struct ScalarBinaryOpTraits<ostrell::complex128, ostrell::float128, BinaryOp> {
    typedef ostrell::complex128 ReturnType;
};
template <typename BinaryOp>
struct ScalarBinaryOpTraits<ostrell::float128, ostrell::complex128, BinaryOp> {
    typedef ostrell::complex128 ReturnType;
};

} // namespace Eigen

#endif // OSTRELL_EIGEN_HPP
