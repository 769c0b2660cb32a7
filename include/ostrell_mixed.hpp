// ostrell_mixed.hpp: float128 with a double on either side.  Each operator is
// the float128(double) conversion (low part +0) followed by the float128
// operation, so `2.0 * x` has the bits of `float128(2.0) * x` and `x < 1.0`
// the answer of `x < float128(1.0)`.  An int operand converts to double first,
// exactly as it already did through the float128(double) constructor.
#ifndef OSTRELL_MIXED_HPP
#define OSTRELL_MIXED_HPP

#include "ostrell.hpp"

namespace ostrell {

inline float128 operator+(const float128& a, double b) { return a + float128(b); }
inline float128 operator-(const float128& a, double b) { return a - float128(b); }
inline float128 operator*(const float128& a, double b) { return a * float128(b); }
inline float128 operator/(const float128& a, double b) { return a / float128(b); }
inline float128 operator+(double a, const float128& b) { return float128(a) + b; }
inline float128 operator-(double a, const float128& b) { return float128(a) - b; }
inline float128 operator*(double a, const float128& b) { return float128(a) * b; }
inline float128 operator/(double a, const float128& b) { return float128(a) / b; }

inline bool operator==(const float128& a, double b) { return a == float128(b); }
inline bool operator!=(const float128& a, double b) { return a != float128(b); }
inline bool operator<(const float128& a, double b) { return a < float128(b); }
inline bool operator>(const float128& a, double b) { return a > float128(b); }
inline bool operator<=(const float128& a, double b) { return a <= float128(b); }
inline bool operator>=(const float128& a, double b) { return a >= float128(b); }
inline bool operator==(double a, const float128& b) { return float128(a) == b; }
inline bool operator!=(double a, const float128& b) { return float128(a) != b; }
inline bool operator<(double a, const float128& b) { return float128(a) < b; }
inline bool operator>(double a, const float128& b) { return float128(a) > b; }
inline bool operator<=(double a, const float128& b) { return float128(a) <= b; }
inline bool operator>=(double a, const float128& b) { return float128(a) >= b; }

} // namespace ostrell

#endif // OSTRELL_MIXED_HPP
