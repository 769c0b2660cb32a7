// ostrell_limits.hpp: std::numeric_limits<ostrell::float128>, describing what
// the pair hi + lo of two binary64 numbers carries.
//
// - digits 106: any number whose significand fits in 106 bits is hi + lo with
//   53 bits in each part.  Some values carry more (a low part far below the
//   high part), none carry fewer, so 106 is the honest figure.
// - epsilon 2^-104: the unit the library states its errors in; the arithmetic
//   is not correctly rounded, so 2^(1 - digits) = 2^-105 would promise more.
// - min 2^-969: below it the low part is subnormal and precision fades
//   gradually, as it does for binary64 below DBL_MIN, so those values count
//   as denormalised; denorm_min is the smallest subnormal binary64.
// - max (DBL_MAX, DBL_MAX * 2^-54): the largest low part that still rounds to
//   DBL_MAX when added to it (half an ulp of DBL_MAX, 2^970, would round up to
//   infinity under ties-to-even), so max + 0, max * 1 and max / 1 stay max.
// - round_style indeterminate: operations are accurate to a few units of
//   2^-104 but not rounded to nearest.
// The values are functions rather than constexpr: float128 holds an __m128d.
#ifndef OSTRELL_LIMITS_HPP
#define OSTRELL_LIMITS_HPP

#include <limits>

#include "ostrell.hpp"

namespace std {

template <>
class numeric_limits<ostrell::float128> {
public:
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool has_signaling_NaN = true;
    static constexpr float_denorm_style has_denorm = denorm_present;
    static constexpr bool has_denorm_loss = false;
    static constexpr float_round_style round_style = round_indeterminate;
    static constexpr bool is_iec559 = false;
    static constexpr bool is_bounded = true;
    static constexpr bool is_modulo = false;
    static constexpr int digits = 106;
    static constexpr int digits10 = 31;     // floor((106 - 1) log10 2)
    static constexpr int max_digits10 = 33; // ceil(1 + 106 log10 2)
    static constexpr int radix = 2;
    static constexpr int min_exponent = -968;  // min() = 2^(min_exponent - 1)
    static constexpr int min_exponent10 = -291; // 10^-291 >= min() = 2.0e-292
    static constexpr int max_exponent = 1024;  // max() < 2^max_exponent
    static constexpr int max_exponent10 = 308;
    static constexpr bool traps = false;
    static constexpr bool tinyness_before = false;

    // 2^-969, 0x0360000000000000
    static ostrell::float128 min() noexcept { return ostrell_from_hi_lo(0x1p-969, 0.0); }
    // (0x7FEFFFFFFFFFFFFF, 0x7C8FFFFFFFFFFFFF)
    static ostrell::float128 max() noexcept
    {
        return ostrell_from_hi_lo(0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+969);
    }
    static ostrell::float128 lowest() noexcept
    {
        return ostrell_from_hi_lo(-0x1.fffffffffffffp+1023, -0x1.fffffffffffffp+969);
    }
    // 2^-104, 0x3970000000000000
    static ostrell::float128 epsilon() noexcept { return ostrell_from_hi_lo(0x1p-104, 0.0); }
    // In units of epsilon: no single bound holds for every operation (see the
    // accuracy table), so one unit, as for a type that does not round to nearest.
    static ostrell::float128 round_error() noexcept { return ostrell_from_hi_lo(1.0, 0.0); }
    // (0x7FF0000000000000, +0): what the operations return on overflow.
    static ostrell::float128 infinity() noexcept
    {
        return ostrell_from_hi_lo(numeric_limits<double>::infinity(), 0.0);
    }
    // (0x7FF8000000000000, +0): the library's own NaN.
    static ostrell::float128 quiet_NaN() noexcept
    {
        return ostrell_from_hi_lo(numeric_limits<double>::quiet_NaN(), 0.0);
    }
    // (0x7FF4000000000000, +0) as binary64 gives it; operations quieten it.
    static ostrell::float128 signaling_NaN() noexcept
    {
        return ostrell_from_hi_lo(numeric_limits<double>::signaling_NaN(), 0.0);
    }
    // 2^-1074, 0x0000000000000001
    static ostrell::float128 denorm_min() noexcept
    {
        return ostrell_from_hi_lo(numeric_limits<double>::denorm_min(), 0.0);
    }
};

} // namespace std

#endif // OSTRELL_LIMITS_HPP
