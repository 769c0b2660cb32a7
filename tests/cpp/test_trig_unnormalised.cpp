// Sine and cosine of unnormalised pairs, as a row or a byte image can carry
// them: a low part that is infinite, NaN or far beyond the high part leaves
// no quadrant to reduce to, and gives (NaN, +0) without an out-of-range
// integer conversion (the sanitizer build checks that).
#include <cmath>

#include "test_util.hpp"
#include "ostrell_math.h"

namespace {

using test::pair;
using test::pair_bits;
using test::same_bits;

TEST(TrigUnnormalised, UnreduciblePairsGiveNan)
{
    const ostrell_t nan_result = pair_bits(0x7FF8000000000000, 0);
    const ostrell_t xs[] = {pair(1.0, INFINITY), pair(1.0, -INFINITY), pair(1.0, std::nan("")),
                            pair(-0.0, std::nan("")), pair(1.0, 1e300), pair(1e18, -1e300)};
    for (ostrell_t x : xs) {
        SCOPED_TRACE(test::hex(x));
        EXPECT_TRUE(same_bits(ostrell_sin(x), nan_result));
        EXPECT_TRUE(same_bits(ostrell_cos(x), nan_result));
        EXPECT_TRUE(std::isnan(test::hi(ostrell_tan(x))));
    }
}

TEST(TrigUnnormalised, ReduciblePairsStillReduce)
{
    // (1, 1) is 2 and (2^52, 2^52) is 2^53: within range, reduced as usual.
    for (ostrell_t x : {pair(1.0, 1.0), pair(0x1p52, 0x1p52), pair(0.0, 1.0)}) {
        SCOPED_TRACE(test::hex(x));
        EXPECT_LE(std::fabs(test::hi(ostrell_sin(x))), 1.0);
        EXPECT_LE(std::fabs(test::hi(ostrell_cos(x))), 1.0);
    }
}

} // namespace
