// The float128 class: each member is the plain operation, bit for bit; text
// through to_string.
#include "test_util.hpp"
#include "ostrell.hpp"

using ostrell::float128;

namespace {
ostrell_t v(const float128& x) { return x.data; }
}

TEST(Float128, Constructors)
{
    EXPECT_TRUE(test::same_bits(v(float128()), test::pair(0.0, 0.0)));
    EXPECT_TRUE(test::same_bits(v(float128(0.0)), test::pair(0.0, 0.0)));
    EXPECT_TRUE(test::same_bits(v(float128(-0.0)), test::pair(-0.0, 0.0)));
    EXPECT_TRUE(test::same_bits(v(float128(test::pair(1.0, -0x1p-60))), test::pair(1.0, -0x1p-60)));
    double h = 0, l = 0;
    float128(test::pair(3.0, 0x1p-55)).extract(h, l);
    EXPECT_EQ(test::bits(h), test::bits(3.0));
    EXPECT_EQ(test::bits(l), test::bits(0x1p-55));
}

TEST(Float128, OperatorsAreThePlainOperations)
{
    std::mt19937_64 rng(42);
    for (int i = 0; i < 2000; ++i) {
        ostrell_t a = test::random_pair(rng, -300, 300), b = test::random_pair(rng, -300, 300);
        float128 x(a), y(b);
        EXPECT_TRUE(test::same_bits(v(x + y), ostrell_add(a, b))) << test::hex(a) << " " << test::hex(b);
        EXPECT_TRUE(test::same_bits(v(x - y), ostrell_sub(a, b))) << test::hex(a) << " " << test::hex(b);
        EXPECT_TRUE(test::same_bits(v(x * y), ostrell_mul(a, b))) << test::hex(a) << " " << test::hex(b);
        EXPECT_TRUE(test::same_bits(v(x / y), ostrell_div(a, b))) << test::hex(a) << " " << test::hex(b);
        float128 s = x;
        s += y;
        EXPECT_TRUE(test::same_bits(v(s), v(x + y)));
        s = x; s -= y; EXPECT_TRUE(test::same_bits(v(s), v(x - y)));
        s = x; s *= y; EXPECT_TRUE(test::same_bits(v(s), v(x * y)));
        s = x; s /= y; EXPECT_TRUE(test::same_bits(v(s), v(x / y)));
    }
}

TEST(Float128, SpecialValues)
{
    EXPECT_TRUE(test::same_bits(v(float128(1.0) / float128(0.0)), test::pair(HUGE_VAL, 0.0)));
    EXPECT_TRUE(test::same_bits(v(-float128(0.0)), test::pair(-0.0, -0.0)));
    float128 n(test::pair(NAN, 0.0)), one(1.0);
    EXPECT_FALSE(n == n);
    EXPECT_TRUE(n != n);
    EXPECT_FALSE(n < one);
    EXPECT_FALSE(n >= one);
}

TEST(Float128, ToString)
{
    EXPECT_EQ(float128(1.0).to_string(), "1.0000000000000000000000000000000");
    EXPECT_EQ(float128(-0.0).to_string(), "-0.0000000000000000000000000000000");
    EXPECT_EQ(float128(0.1).to_string(), "0.1000000000000000055511151231257");
    EXPECT_EQ(float128(test::pair(-HUGE_VAL, 0.0)).to_string(), "-inf");
    // the longest texts still fit the 128-byte buffer
    for (double d : {-0x1.fffffffffffffp+1023, -0x1p-1074, -999999999999999.875, -1e-5})
        EXPECT_LT(float128(test::pair(d, d * 0x1p-60)).to_string().size(), 128u) << test::hex(d);
}
