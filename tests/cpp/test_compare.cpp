// Comparison, classification and absolute value.
#include "test_util.hpp"
#include "ostrell_utils.h"

using test::pair;

namespace {
const double INF = HUGE_VAL;
const double NaN = __builtin_nan("");
}

TEST(Compare, Lexicographic)
{
    EXPECT_GT(ostrell_cmp(pair(1, 1e-20), pair(1, 0)), 0);
    EXPECT_LT(ostrell_cmp(pair(1, -1e-20), pair(1, 0)), 0);
    EXPECT_LT(ostrell_cmp(pair(1, 1), pair(2, -1)), 0);  // high parts decide first
    EXPECT_EQ(ostrell_cmp(pair(-0.0, 0), pair(0, -0.0)), 0);
    EXPECT_EQ(ostrell_eq(pair(-0.0, 0), pair(0, 0)), 1);
    EXPECT_EQ(ostrell_le(pair(-INF, 0), pair(INF, 0)), 1);
}

TEST(Compare, NaNHighPartMakesEveryPredicateFalse)
{
    const ostrell_t n = pair(NaN, 0), one = pair(1, 0);
    for (auto [a, b] : {std::pair{n, one}, std::pair{one, n}, std::pair{n, n}}) {
        EXPECT_EQ(ostrell_eq(a, b), 0);
        EXPECT_EQ(ostrell_gt(a, b), 0);
        EXPECT_EQ(ostrell_lt(a, b), 0);
        EXPECT_EQ(ostrell_ge(a, b), 0);
        EXPECT_EQ(ostrell_le(a, b), 0);
    }
}

TEST(Compare, NaNLowPartOrdersBelow)
{
    const ostrell_t a = pair(1, NaN), b = pair(1, 0);
    EXPECT_EQ(ostrell_lt(a, b), 1);
    EXPECT_EQ(ostrell_le(a, b), 1);
    EXPECT_EQ(ostrell_eq(a, b), 0);
    EXPECT_EQ(ostrell_gt(a, b), 0);
    EXPECT_EQ(ostrell_ge(a, b), 0);
    EXPECT_EQ(ostrell_lt(b, a), 1);  // either side
}

TEST(Classify, HighPartOnly)
{
    EXPECT_EQ(ostrell_isinf(pair(INF, 0)), 1);
    EXPECT_EQ(ostrell_isinf(pair(-INF, 0)), 1);
    EXPECT_EQ(ostrell_isinf(pair(NaN, 0)), 0);
    EXPECT_EQ(ostrell_isinf(pair(1, INF)), 0);
    EXPECT_EQ(ostrell_isinf(pair(DBL_MAX, 0)), 0);
    EXPECT_EQ(ostrell_isnan(pair(1, NaN)), 0);
    EXPECT_EQ(ostrell_isnan(pair(-NaN, 0)), 1);
}

TEST(Abs, SignsAndZeros)
{
    EXPECT_TRUE(test::same_bits(ostrell_abs(pair(-2, 1e-17)), pair(2, -1e-17)));
    EXPECT_TRUE(test::same_bits(ostrell_abs(pair(2, -1e-17)), pair(2, -1e-17)));
    EXPECT_TRUE(test::same_bits(ostrell_abs(pair(-0.0, -0.0)), pair(0, 0)));
    EXPECT_TRUE(test::same_bits(ostrell_abs(pair(0, -1e-300)), pair(0, 1e-300)));
    EXPECT_TRUE(test::same_bits(ostrell_abs(pair(-INF, 0)), pair(INF, -0.0)));
    // a NaN high part stays NaN (with its payload)
    const ostrell_t n = test::pair_bits(0xFFF8000000000123ull, 0x3FF0000000000000ull);
    EXPECT_TRUE(test::same_bits(ostrell_abs(n), n));
}
