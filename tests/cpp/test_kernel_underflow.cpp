// The kernels where partial products of the split underflow.  There the
// split-and-sum steps no longer give the exact product error, so the result
// depends on every step being taken as written; an exact-error shortcut (an
// FMA, or a different split) changes these bits.  Expected bits come from an
// independent binary64 emulation of the steps.
#include "test_util.hpp"

using test::pair_bits;
using test::same_bits;

namespace {

struct ErrCase {
    uint64_t a, b, p, err;
};

// p = fl(a*b) is subnormal; the steps leave +-2^-1074 or a zero of the
// other sign where the exact error rounds to a signed zero.
const ErrCase kErrCases[] = {
    {0x9d23ea425696dd40, 0x21b40a9f5359c2a0, 0x800000031e4174ad, 0x0000000000000001},
    {0x206538cadce6f21c, 0x1ef4b348bfc10814, 0x0000036e992df1dd, 0x8000000000000001},
    {0xa05106b631f67ce3, 0x1f7637d372dc11aa, 0x80017a4a299bb5f2, 0x0000000000000000},
};

struct PairCase {
    const char* op;
    uint64_t a_hi, a_lo, b_hi, b_lo, r_hi, r_lo;
};

const PairCase kPairCases[] = {
    {"mul", 0x9d23ea425696dd40, 0, 0x21b40a9f5359c2a0, 0, 0x800000031e4174ac, 0},
    {"mul", 0xa0205a0bccd40dd3, 0x1ccd78bf12eccc00, 0x9ff9449c70b2e17c, 0x9c98f31ae0a8f96a,
     0x0029d2d103520ab6, 0x0000000000000001},
    {"mul", 0x9fe1a745bb96678d, 0x9c8cc7f4b052eeee, 0x1f3f45876d7fd32d, 0x1bd789d9833e60ba,
     0x80000045019bc8b2, 0x0000000000000000},
    {"div", 0x006e3dec484f41e9, 0x8000000000000009, 0xbf6a2f0f97474aa0, 0x3be9210c60e878f8,
     0x80f27acfb3e424c2, 0x000000000000111c},
    {"div", 0x8042a9b3c9be5ada, 0x0000000000000002, 0x3f41abb6cf852f9c, 0xbbe5795bc34eed26,
     0x80f0e5f949beafef, 0x800000000000073e},
};

} // namespace

TEST(KernelUnderflow, ExactMulErrStepsAsWritten)
{
    for (const ErrCase& c : kErrCases) {
        double a = test::from_bits(c.a), b = test::from_bits(c.b), p = a * b;
        ASSERT_EQ(test::bits(p), c.p) << test::hex(a) << " * " << test::hex(b);
        EXPECT_TRUE(same_bits(ostrell_exact_mul_err(a, b, p), test::from_bits(c.err)))
            << "a=" << test::hex(a) << " b=" << test::hex(b);
    }
}

TEST(KernelUnderflow, MulDivStepsAsWritten)
{
    for (const PairCase& c : kPairCases) {
        ostrell_t a = pair_bits(c.a_hi, c.a_lo), b = pair_bits(c.b_hi, c.b_lo);
        ostrell_t got = c.op[0] == 'm' ? ostrell_mul(a, b) : ostrell_div(a, b);
        EXPECT_TRUE(same_bits(got, pair_bits(c.r_hi, c.r_lo)))
            << c.op << " a=" << test::hex(a) << " b=" << test::hex(b);
    }
}
