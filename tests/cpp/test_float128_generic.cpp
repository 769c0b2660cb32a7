// The functions generic numeric code calls on a floating type, found by
// argument-dependent lookup, and exact construction from 64-bit integers;
// existing expressions keep their meaning.
#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include <gtest/gtest.h>

#include "ostrell.hpp"
#include "test_util.hpp"

namespace {

using ostrell::float128;
using test::same_bits;

// Generic code as a library would write it: std names brought in, the
// type's own overloads found by argument-dependent lookup.
template <class T> T generic_norm(T x, T y, int* e)
{
    using std::copysign; using std::fabs; using std::fmax; using std::fmin; using std::frexp;
    using std::hypot; using std::isfinite; using std::ldexp; using std::signbit;
    T h = hypot(x, y);
    if (!isfinite(h) || signbit(fmin(x, y)) != signbit(copysign(fmin(x, y), y))) return T(0);
    return frexp(ldexp(fabs(fmax(h, x)), 3), e);
}

TEST(Float128Generic, IntegersAreExact)
{
    struct Case { long long i; double hi, lo; };
    const Case cases[] = {
        {9007199254740993LL, 0x1p53, 1.0},
        {-9007199254740993LL, -0x1p53, -1.0},
        {LLONG_MAX, 0x1p63, -1.0},
        {LLONG_MIN, -0x1p63, 0.0},
        {-1, -1.0, 0.0},
        {0, 0.0, 0.0},
        {(1LL << 62) + 3, 0x1p62, 3.0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_bits(float128(c.i).data, ostrell_from_hi_lo(c.hi, c.lo))) << c.i;
        EXPECT_TRUE(same_bits(float128(long(c.i)).data, ostrell_from_hi_lo(c.hi, c.lo))) << c.i;
    }
    EXPECT_TRUE(same_bits(float128(ULLONG_MAX).data, ostrell_from_hi_lo(0x1p64, -1.0)));
    EXPECT_TRUE(same_bits(float128((unsigned long)((1ULL << 63) + 1)).data, ostrell_from_hi_lo(0x1p63, 1.0)));
    // The narrower types and double: the same bits as before.
    EXPECT_TRUE(same_bits(float128(-7).data, ostrell_from_double(-7.0)));
    EXPECT_TRUE(same_bits(float128(4000000000u).data, ostrell_from_double(4e9)));
    EXPECT_TRUE(same_bits(float128(short(-3)).data, ostrell_from_double(-3.0)));
    EXPECT_TRUE(same_bits(float128('a').data, ostrell_from_double(97.0)));
    EXPECT_TRUE(same_bits(float128(true).data, ostrell_from_double(1.0)));
    EXPECT_TRUE(same_bits(float128(0.1f).data, ostrell_from_double(double(0.1f))));
    float128 z = 0;
    EXPECT_TRUE(same_bits(z.data, ostrell_from_double(0.0)));
    // Mixed operators still take integers through double.
    float128 a(0.5);
    EXPECT_TRUE(same_bits((a + 9007199254740993LL).data, (a + 9007199254740992.0).data));
    EXPECT_TRUE(a * 3 == a * 3.0);
    static_assert(std::is_convertible<long long, float128>::value, "");
    static_assert(!std::is_convertible<float128, double>::value, "");
}

TEST(Float128Generic, FunctionsByArgumentDependentLookup)
{
    float128 x = float128(1.0) / 3, m = -x, nan = float128(NAN), inf = float128(INFINITY);
    EXPECT_TRUE(isfinite(x));
    EXPECT_FALSE(isfinite(inf));
    EXPECT_FALSE(isfinite(nan));
    EXPECT_TRUE(signbit(m));
    EXPECT_TRUE(signbit(float128(-0.0)));
    EXPECT_FALSE(signbit(x));
    EXPECT_TRUE(same_bits(copysign(x, float128(-2.0)).data, m.data));
    EXPECT_TRUE(same_bits(copysign(m, float128(0.0)).data, x.data));
    EXPECT_TRUE(same_bits(fabs(m).data, x.data));
    EXPECT_TRUE(same_bits(fmin(x, m).data, m.data));
    EXPECT_TRUE(same_bits(fmax(x, m).data, x.data));
    EXPECT_TRUE(same_bits(fmin(nan, x).data, x.data));
    EXPECT_TRUE(same_bits(fmax(x, nan).data, x.data));
    EXPECT_TRUE(same_bits(ldexp(x, 10).data, ostrell_from_hi_lo(test::hi(x.data) * 1024, test::lo(x.data) * 1024)));
    EXPECT_TRUE(same_bits(ldexp(x, 5000).data, ostrell_from_hi_lo(INFINITY, 0.0)));
    int e = 0;
    float128 f = frexp(float128(24.0), &e);
    EXPECT_EQ(5, e);
    EXPECT_TRUE(same_bits(f.data, ostrell_from_double(0.75)));
    // A value just below a power of two: the low part takes it below 0.5.
    f = frexp(float128(ostrell_from_hi_lo(8.0, -0x1p-60)), &e);
    EXPECT_EQ(3, e);
    EXPECT_TRUE(same_bits(f.data, ostrell_from_hi_lo(1.0, -0x1p-63)));
    // hypot: exact for 3-4-5 at every scale, no overflow or underflow.
    for (int s : {0, 1000, -1000, -1060}) {
        float128 h = hypot(ldexp(float128(3.0), s), ldexp(float128(-4.0), s));
        EXPECT_TRUE(same_bits(h.data, ldexp(float128(5.0), s).data)) << s;
    }
    EXPECT_TRUE(same_bits(hypot(nan, inf).data, ostrell_from_hi_lo(INFINITY, 0.0)));
    EXPECT_TRUE(isnan(hypot(nan, x)));
    float128 r = hypot(x, x);  // sqrt(2)/3 to the library's accuracy
    EXPECT_LT(std::fabs(test::hi((r * r - float128(2.0) / 9).data)), 1e-31);
    // The same generic template for double and float128.
    int e1, e2;
    double d = generic_norm(3.0, 4.0, &e1);
    float128 q = generic_norm(float128(3.0), float128(4.0), &e2);
    EXPECT_EQ(e1, e2);
    EXPECT_EQ(d, double(q));
}

}  // namespace
