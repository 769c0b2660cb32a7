// ostrell.hpp: the value class float128 over the plain double-double layer.
// Every operator is exactly one call of the plain operation, so results are
// bit-identical to ostrell.h.
#ifndef OSTRELL_HPP
#define OSTRELL_HPP

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
