// ostrell.hpp: the value class float128 over the plain double-double layer.
// Every operator is exactly one call of the plain operation, so results are
// bit-identical to ostrell.h.
#ifndef OSTRELL_HPP
#define OSTRELL_HPP

#include <cmath>
#include <string>

#include "ostrell.h"
#include "ostrell_io.h"
#include "ostrell_utils.h"

namespace ostrell {

class float128 {
public:
    ostrell_t data;

    float128() : data(_mm_setzero_pd()) {}
    float128(double d) : data(ostrell_from_double(d)) {}
    float128(__m128d v) : data(v) {}
    // Integers exactly: a 64-bit one as hi = the nearest binary64 and lo the
    // exact remainder.  One constructor per integer type, so that none of
    // them competes with another (or with double) for an integer argument;
    // narrower types promote to int.  Mixed operators (ostrell_mixed.hpp)
    // still take integers through double.
    float128(int i) : data(ostrell_from_double(i)) {}
    float128(unsigned i) : data(ostrell_from_double(i)) {}
    float128(long i) : data(from_i64((long long)i)) {}
    float128(unsigned long i) : data(from_u64((unsigned long long)i)) {}
    float128(long long i) : data(from_i64(i)) {}
    float128(unsigned long long i) : data(from_u64(i)) {}

    void extract(double& hi, double& lo) const { ostrell_extract(data, &hi, &lo); }

    float128 operator+(const float128& o) const { return ostrell_add(data, o.data); }
    float128 operator-(const float128& o) const { return ostrell_sub(data, o.data); }
    float128 operator*(const float128& o) const { return ostrell_mul(data, o.data); }
    float128 operator/(const float128& o) const { return ostrell_div(data, o.data); }

    float128& operator+=(const float128& o) { data = ostrell_add(data, o.data); return *this; }
    float128& operator-=(const float128& o) { data = ostrell_sub(data, o.data); return *this; }
    float128& operator*=(const float128& o) { data = ostrell_mul(data, o.data); return *this; }
    float128& operator/=(const float128& o) { data = ostrell_div(data, o.data); return *this; }

    bool operator==(const float128& o) const { return ostrell_eq(data, o.data) != 0; }
    bool operator!=(const float128& o) const { return !(*this == o); }
    bool operator>(const float128& o) const { return ostrell_gt(data, o.data) != 0; }
    bool operator<(const float128& o) const { return ostrell_lt(data, o.data) != 0; }
    bool operator>=(const float128& o) const { return ostrell_ge(data, o.data) != 0; }
    bool operator<=(const float128& o) const { return ostrell_le(data, o.data) != 0; }

    float128 operator-() const { return ostrell_neg(data); }
    float128 operator+() const { return *this; }

    // The high part: the binary64 nearest the value for a normalised pair.
    // Explicit, so that no existing expression converts through it.
    explicit operator double() const { return _mm_cvtsd_f64(data); }

    // x = h 2^32 + l with both halves exact in binary64 and |h 2^32| > l
    // when h != 0: the fast two-sum gives the nearest binary64 and the exact
    // remainder.
    static ostrell_t from_parts(double h, double l)
    {
        double s = h + l;
        return ostrell_from_hi_lo(s, l - (s - h));
    }
    static ostrell_t from_i64(long long i)
    {
        return from_parts((double)(i >> 32) * 4294967296.0, (double)(i & 0xFFFFFFFFLL));
    }
    static ostrell_t from_u64(unsigned long long u)
    {
        return from_parts((double)(u >> 32) * 4294967296.0, (double)(u & 0xFFFFFFFFULL));
    }

    // 32 significant digits; the formatter never writes past the 128 bytes.
    std::string to_string() const
    {
        char buf[128];
        ostrell_to_string(buf, sizeof buf, data);
        return std::string(buf);
    }
};

} // namespace ostrell

// ---- namespace functions and constants -------------------------------------
// Each function is one call of the plain function, so results are
// bit-identical to ostrell_math.h.

#include "ostrell_consts.h"
#include "ostrell_math.h"

namespace ostrell {

inline float128 exp(float128 x) { return ostrell_exp(x.data); }
inline float128 log(float128 x) { return ostrell_log(x.data); }
inline float128 pow(float128 base, float128 exp) { return ostrell_pow(base.data, exp.data); }

inline float128 sin(float128 x) { return ostrell_sin(x.data); }
inline float128 cos(float128 x) { return ostrell_cos(x.data); }
inline float128 tan(float128 x) { return ostrell_tan(x.data); }

inline float128 atan(float128 x) { return ostrell_atan(x.data); }
inline float128 asin(float128 x) { return ostrell_asin(x.data); }
inline float128 acos(float128 x) { return ostrell_acos(x.data); }
inline float128 atan2(float128 y, float128 x) { return ostrell_atan2(y.data, x.data); }

inline float128 sinh(float128 x) { return ostrell_sinh(x.data); }
inline float128 cosh(float128 x) { return ostrell_cosh(x.data); }
inline float128 tanh(float128 x) { return ostrell_tanh(x.data); }

inline float128 sqrt(float128 x) { return ostrell_sqrt(x.data); }
inline float128 abs(float128 x) { return ostrell_abs(x.data); }

inline float128 floor(float128 x) { return ostrell_floor(x.data); }
inline float128 ceil(float128 x) { return ostrell_ceil(x.data); }
inline float128 trunc(float128 x) { return ostrell_trunc(x.data); }
inline float128 round(float128 x) { return ostrell_round(x.data); }
inline float128 fmod(float128 a, float128 b) { return ostrell_fmod(a.data, b.data); }

inline bool isnan(float128 x) { return ostrell_isnan(x.data) != 0; }
inline bool isinf(float128 x) { return ostrell_isinf(x.data) != 0; }

// What generic numeric code calls on a floating type (found by argument-
// dependent lookup, like abs and sqrt).  Classification and sign are decided
// on the high part, as in ostrell_utils.h.
inline bool isfinite(float128 x) { return !isnan(x) && !isinf(x); }
inline bool signbit(float128 x) { return std::signbit(_mm_cvtsd_f64(x.data)); }
inline float128 fabs(float128 x) { return ostrell_abs(x.data); }
// x with the sign of y: both parts negated when the high parts' signs differ.
inline float128 copysign(float128 x, float128 y) { return signbit(x) != signbit(y) ? -x : x; }
// The other operand when one is NaN; the first when they compare equal.
inline float128 fmin(float128 x, float128 y) { return isnan(x) ? y : isnan(y) ? x : y < x ? y : x; }
inline float128 fmax(float128 x, float128 y) { return isnan(x) ? y : isnan(y) ? x : y > x ? y : x; }

// x 2^n, each part by std::ldexp: exact unless the low part becomes
// subnormal; an overflow gives (±inf, +0) as the arithmetic does.
inline float128 ldexp(float128 x, int n)
{
    double hi, lo;
    x.extract(hi, lo);
    hi = std::ldexp(hi, n);
    if (std::isinf(hi)) return float128(hi);
    return ostrell_from_hi_lo(hi, std::ldexp(lo, n));
}

// m with x = m 2^*e and 0.5 <= |m| < 1 as a double-double value (the high
// part's exponent, one less when the low part takes the value below a power
// of two); zero, infinity and NaN as std::frexp.
inline float128 frexp(float128 x, int* e)
{
    double hi, lo;
    x.extract(hi, lo);
    if (hi == 0.0 || !isfinite(x)) {
        std::frexp(hi, e);
        return x;
    }
    std::frexp(hi, e);
    if (std::fabs(hi) == std::ldexp(1.0, *e - 1) && lo != 0.0 && std::signbit(lo) != std::signbit(hi))
        --*e;
    return ldexp(x, -*e);
}

// sqrt(x^2 + y^2) without overflow or underflow in the squares: both scaled
// by the power of two 2^-k that brings the larger high part into [1, 2),
// then ostrell_sqrt(ostrell_add(ostrell_mul(x, x), ostrell_mul(y, y))) 2^k.
// An infinite operand gives +inf, even with a NaN.
inline float128 hypot(float128 x, float128 y)
{
    if (isinf(x) || isinf(y)) return float128(HUGE_VAL);
    if (isnan(x) || isnan(y)) return x + y;
    double m = std::fmax(std::fabs(_mm_cvtsd_f64(x.data)), std::fabs(_mm_cvtsd_f64(y.data)));
    if (m == 0.0) return float128(0.0);
    int k = std::ilogb(m);
    float128 xs = ldexp(x, -k), ys = ldexp(y, -k);
    return ldexp(sqrt(xs * xs + ys * ys), k);
}

// One object each for the whole program, initialised once at load time.
inline const float128 pi = float128(_ostrell_from_raw(_ostrell_pi_raw));
inline const float128 e = float128(_ostrell_from_raw(_ostrell_e_raw));
inline const float128 sqrt2 = float128(_ostrell_from_raw(_ostrell_sqrt2_raw));
inline const float128 ln2 = float128(_ostrell_from_raw(_ostrell_ln2_raw));

} // namespace ostrell

// Built-in-type conveniences, each in its own header.
#include "ostrell_limits.hpp"
#include "ostrell_literals.hpp"
#include "ostrell_mixed.hpp"
#include "ostrell_stream.hpp"

#endif // OSTRELL_HPP
