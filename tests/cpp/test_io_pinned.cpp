// Decimal text pinned to the last character and the last bit on the paths the
// short examples do not reach: the 1e+-250 pre-scaling, inexact table rows,
// the times-ten correction of the log10 estimate, 60-digit texts, long
// integer chunks and the 1e300 exponent steps.  The expected texts and bits
// come from a separate binary64-per-operation model of the formatting and
// parsing steps, not from this code.
#include "test_util.hpp"
#include "ostrell_io.h"

namespace {

using test::hex;
using test::pair_bits;
using test::same_bits;

struct PinnedText {
    uint64_t hi, lo;
    int digits;
    const char* text;
};

class PinnedFormat : public ::testing::TestWithParam<PinnedText> {};

TEST_P(PinnedFormat, ExactText)
{
    const PinnedText& c = GetParam();
    char buf[256];
    ostrell_to_string_prec(buf, sizeof buf, pair_bits(c.hi, c.lo), c.digits);
    EXPECT_STREQ(buf, c.text) << "x = " << hex(pair_bits(c.hi, c.lo)) << " digits = " << c.digits;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PinnedFormat,
    ::testing::Values(
        // smallest subnormal: 1e250 step, then row 74
        PinnedText{0x0000000000000001, 0, 60, "4.94065645841246481304255506146024256042032480006737487420267e-324"},
        // largest normalised pair: 1e-250 step
        PinnedText{0x7FEFFFFFFFFFFFFF, 0x7C9FFFFFFFFFFFFF, 60,
                   "1.79769313486231605101350156006585005447402065141080087602644e+308"},
        PinnedText{0x81B0000000000000, 0, 40, "-1.493221789605150202493600926468375095821e-300"},
        // 1e-22 is scaled by the exact row 10^22, 1e-23 by the rounded 10^23
        PinnedText{0x3B5E392010175EE6, 0, 40, "1.000000000000000048596774326570872352978e-22"},
        PinnedText{0x3B282DB34012B251, 0, 40, "9.999999999999998765486180148993125743011e-24"},
        // just below 1e16: the scaled high part is below 1, one times-ten step
        PinnedText{0x4341C37937E07FFD, 0, 40, "9.999999999999993790977867240346161031690e+15"},
        PinnedText{0x400921FB54442D18, 0x3CA1A62633145C07, 60,
                   "3.14159265358979323846264338327950587896697911771466046256921"},
        PinnedText{0xC1E0000000000000, 0xBC10000000000000, 40, "-2147483648.000000000000000000216840434497"},
        // zero high part, negative low part: negative, scientific
        PinnedText{0x0000000000000000, 0x8000000000000001, 10, "-4.940656458e-324"},
        // 1 - 2^-54: the pair floor gives the integer part 0
        PinnedText{0x3FF0000000000000, 0xBC90000000000000, 32, "0.9999999999999999444888487687421"},
        // unnormalised pair: the 64-byte integer buffer cuts the integer text
        PinnedText{0x1463DCDBAE4ECF4B, 0x41319A21046A4C76, 5,
                   "115356901724698900550779539122258822857226295738881316866140881.0000e-209"}));

struct PinnedParse {
    const char* text;
    uint64_t hi, lo;
};

class PinnedParseBits : public ::testing::TestWithParam<PinnedParse> {};

TEST_P(PinnedParseBits, ExactBits)
{
    const PinnedParse& c = GetParam();
    EXPECT_TRUE(same_bits(ostrell_from_string(c.text), pair_bits(c.hi, c.lo))) << "text \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PinnedParseBits,
    ::testing::Values(
        PinnedParse{"123456789012345678901234567890123456", 0x4737C6E3BFD70FDF, 0x439AB6BB630692EC},
        PinnedParse{"3.14159265358979323846264338327950288", 0x400921FB54442D18, 0x3CA1A62633145C04},
        PinnedParse{"99999999999999999999.99999999999999999999", 0x4415AF1D78B58C40, 0x4059000000000001},
        PinnedParse{"-2.5e-320", 0x80000000000013C4, 0},
        PinnedParse{"1e308", 0x7FE1CCF385EBC8A0, 0x7C7AA1C000000000},
        PinnedParse{"1.7976931348623157e308", 0x7FEFFFFFFFFFFFFF, 0x7C8BA7AEF624DC38},
        PinnedParse{"9.999e600", 0x7FF0000000000000, 0},
        PinnedParse{"4.9e-324", 0x0000000000000001, 0},
        PinnedParse{"1e-330", 0, 0},
        PinnedParse{"1e-301", 0x017124E63593F5E0, 0x00000000001B3EBD},
        PinnedParse{"1e301", 0x7E6DDD4BAA009303, 0},
        PinnedParse{"0.000001e+6", 0x3FF0000000000000, 0xB950000000000000},
        PinnedParse{"6.02214076e23", 0x44DFE185CA57C516, 0x417C32A7DD7F21A0},
        PinnedParse{"1e22", 0x4480F0CF064DD592, 0},
        PinnedParse{"1e-22", 0x3B5E392010175EE6, 0xB7FA7566D9CBA769},
        PinnedParse{"  +0.1e1x", 0x3FF0000000000000, 0}));

} // namespace
