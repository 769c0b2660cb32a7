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

    // 32 significant digits; the formatter never writes past the 128 bytes.
    std::string to_string() const
    {
        char buf[128];
        ostrell_to_string(buf, sizeof buf, data);
        return std::string(buf);
    }
};

} // namespace ostrell

#endif // OSTRELL_HPP
