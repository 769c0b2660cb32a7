#include "test_util.hpp"
#include "ostrell_utils.h"

extern "C" void c_add_mul_div_sqrt(const double* in, double* out);

// The C translation unit computes the same bits as this C++ one.
TEST(CBuild, SameBitsAsCpp)
{
    const double in[4] = {1.0, 1e-17, 3.0, -1e-16};
    double out[10];
    c_add_mul_div_sqrt(in, out);
    ostrell_t a = test::pair(in[0], in[1]), b = test::pair(in[2], in[3]);
    EXPECT_TRUE(test::same_bits(test::pair(out[0], out[1]), ostrell_add(a, b)));
    EXPECT_TRUE(test::same_bits(test::pair(out[2], out[3]), ostrell_sub(a, b)));
    EXPECT_TRUE(test::same_bits(test::pair(out[4], out[5]), ostrell_mul(a, b)));
    EXPECT_TRUE(test::same_bits(test::pair(out[6], out[7]), ostrell_div(a, b)));
    EXPECT_TRUE(test::same_bits(test::pair(out[8], out[9]), ostrell_sqrt(ostrell_abs(a))));
}
