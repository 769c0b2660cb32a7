// Every stored constant and table entry, bit for bit against the published
// bit patterns (high part, low part).
#include "test_util.hpp"
#include "ostrell_consts.h"

namespace {

struct Row { uint64_t hi, lo; };

::testing::AssertionResult entry_is(const double* raw, Row want, const char* what, int row)
{
    if (test::bits(raw[0]) == want.hi && test::bits(raw[1]) == want.lo)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << what << " row " << row << ": got " << test::hex(raw[0]) << " " << test::hex(raw[1])
           << " want " << test::hex(test::from_bits(want.hi)) << " " << test::hex(test::from_bits(want.lo));
}

template <size_t N>
void expect_table(const double (&table)[N][2], const Row (&want)[N], const char* what)
{
    for (size_t i = 0; i < N; ++i) EXPECT_TRUE(entry_is(table[i], want[i], what, int(i)));
}

} // namespace

TEST(Constants, RawPairsBitForBit)
{
    EXPECT_TRUE(entry_is(_ostrell_pi_raw, {0x400921FB54442D18, 0x3CA1A62633145C07}, "pi", 0));
    EXPECT_TRUE(entry_is(_ostrell_e_raw, {0x4005BF0A8B145769, 0x3CA4D57EE2B1013A}, "e", 0));
    EXPECT_TRUE(entry_is(_ostrell_sqrt2_raw, {0x3FF6A09E667F3BCD, 0xBC9BDD3413B26456}, "sqrt2", 0));
    EXPECT_TRUE(entry_is(_ostrell_ln2_raw, {0x3FE62E42FEFA39EF, 0x3C7ABC9E3B39803F}, "ln2", 0));
    EXPECT_TRUE(entry_is(_ostrell_ln10_raw, {0x40026BB1BBB55516, 0xBCAF48AD494EA3E9}, "ln10", 0));
    EXPECT_TRUE(entry_is(_ostrell_pi_over_2_raw, {0x3FF921FB54442D18, 0x3C91A62633145C07}, "pi/2", 0));
    EXPECT_TRUE(entry_is(_ostrell_two_over_pi_raw, {0x3FE45F306DC9C883, 0xBC86B01EC5417056}, "2/pi", 0));
    EXPECT_TRUE(entry_is(_ostrell_ln2_16_raw, {0x3FA62E42FEFA39EF, 0x3C3ABC9E3B39803F}, "ln2/16", 0));
}

TEST(Constants, ExpTableBitForBit)
{
    static const Row want[16] = {
        {0x3FF0000000000000, 0x0000000000000000}, {0x3FF0B5586CF9890F, 0x3C98A62E4ADC610B},
        {0x3FF172B83C7D517B, 0xBC819041B9D78A76}, {0x3FF2387A6E756238, 0x3C99B07EB6C70573},
        {0x3FF306FE0A31B715, 0x3C86F46AD23182E4}, {0x3FF3DEA64C123422, 0x3C8ADA0911F09EBC},
        {0x3FF4BFDAD5362A27, 0x3C7D4397AFEC42E2}, {0x3FF5AB07DD485429, 0x3C96324C054647AD},
        {0x3FF6A09E667F3BCD, 0xBC9BDD3413B26456}, {0x3FF7A11473EB0187, 0xBC841577EE04992F},
        {0x3FF8ACE5422AA0DB, 0x3C96E9F156864B27}, {0x3FF9C49182A3F090, 0x3C7C7C46B071F2BE},
        {0x3FFAE89F995AD3AD, 0x3C97A1CD345DCC81}, {0x3FFC199BDD85529C, 0x3C811065895048DD},
        {0x3FFD5818DCFBA487, 0x3C82ED02D75B3707}, {0x3FFEA4AFA2A490DA, 0xBC9E9C23179C2893},
    };
    expect_table(_ostrell_exp_table, want, "exp_table");
}

TEST(Constants, ExpCoefficientsBitForBit)
{
    static const Row want[11] = {
        {0x3FE0000000000000, 0xB653025FDE8531BB}, {0x3FC5555555555555, 0x3C6555555555B8C8},
        {0x3FA5555555555555, 0x3C455555555571BF}, {0x3F81111111111111, 0x3C011100E54660D6},
        {0x3F56C16C16C16C17, 0xBBEF49F93E15EC86}, {0x3F2A01A01A01A01B, 0xBBC078F863CF32AD},
        {0x3EFA01A01A01A01A, 0x3B9B552A706E35D4}, {0x3EC71DE3A5534681, 0xBB5580DD82D70771},
        {0x3E927E4FB7769EF6, 0x3B39C5F92374B32B}, {0x3E5AE653FCAC40F5, 0x3AE64C02932A35BF},
        {0x3E21EEE144F36D74, 0x3ACE8DFD5ACBEA8D},
    };
    expect_table(_ostrell_exp_coefs_n16, want, "exp_coefs_n16");
}

TEST(Constants, SinCoefficientsBitForBit)
{
    static const Row want[12] = {
        {0xBFC5555555555555, 0xBC65555555555555}, {0x3F81111111111111, 0x3C01111111111111},
        {0xBF2A01A01A01A01A, 0xBB6A01A01A1256F5}, {0x3EC71DE3A556C734, 0xBB6C154F8DDC66BB},
        {0xBE5AE64567F544E4, 0x3AFC062F070F1107}, {0x3DE6124613A86D09, 0x3A8F28E0A41020D3},
        {0xBD6AE7F3E733B81F, 0xB9F42573A6729A63}, {0x3CE952C77030AD4A, 0x398C8E6E78398BBD},
        {0xBC62F49B4680CF91, 0xB8F8BA1CD5EBC90D}, {0x3BD71B8EF6DCADB4, 0x387AEA5CBE47D097},
        {0xBB4761B83A387D2B, 0x37E8B60801D6BDA3}, {0x3AB3F3CF7B700B13, 0x375E2EBCDBB8447F},
    };
    expect_table(_ostrell_sin_coefs_n4, want, "sin_coefs_n4");
}

TEST(Constants, CosCoefficientsBitForBit)
{
    static const Row want[12] = {
        {0xBFE0000000000000, 0x3933145E4B37AEB8}, {0x3FA5555555555555, 0x3C45555555555555},
        {0xBF56C16C16C16C17, 0x3BEF49F49F483156}, {0x3EFA01A01A01A01A, 0x3B3A01A01A0666A2},
        {0xBE927E4FB7789F5C, 0xBB3CBBBEAAE87F23}, {0x3E21EED8EFF8D898, 0xBAC2AEC9A31753FF},
        {0xBDA93974A8C07C9D, 0xBA41A706B12AC61B}, {0x3D2AE7F3E733B81F, 0x39AEAC1D34560C24},
        {0xBCA6827863B8BD99, 0xB94BAE99D6D02B58}, {0x3C1E542BA401801E, 0x38AE05259CA5F76F},
        {0xBB90CE3CEEBCEAD3, 0xB81E5A5C51979477}, {0x3AFF2CF4D8758424, 0xB79681588A0C67CB},
    };
    expect_table(_ostrell_cos_coefs_n4, want, "cos_coefs_n4");
}

// The reader takes the pair as stored, no arithmetic.
TEST(Constants, FromRawKeepsBothParts)
{
    ostrell_t pi = _ostrell_from_raw(_ostrell_pi_raw);
    EXPECT_EQ(test::hi(pi), 3.141592653589793);
    EXPECT_EQ(test::lo(pi), 1.2246467991473532e-16);
    EXPECT_TRUE(test::same_bits(_ostrell_from_raw(_ostrell_exp_table[8]), _ostrell_from_raw(_ostrell_sqrt2_raw)));
    EXPECT_TRUE(test::same_bits(_ostrell_from_raw(_ostrell_exp_coefs_n16[0]),
                                test::pair_bits(0x3FE0000000000000, 0xB653025FDE8531BB)));
}

// Independent check of the named constants' values: each pair is normalised
// and within 5e-33 relative of the true constant.
TEST(Constants, NamedValuesAgreeWithMpfr)
{
    struct C { const double* raw; const char* name; };
    const C cs[] = {{_ostrell_pi_raw, "pi"}, {_ostrell_e_raw, "e"}, {_ostrell_sqrt2_raw, "sqrt2"},
                    {_ostrell_ln2_raw, "ln2"}, {_ostrell_ln10_raw, "ln10"}, {_ostrell_pi_over_2_raw, "pi/2"},
                    {_ostrell_two_over_pi_raw, "2/pi"}, {_ostrell_ln2_16_raw, "ln2/16"}};
    test::Mp ref(300);
    for (const C& c : cs) {
        std::string n = c.name;
        if (n == "pi") mpfr_const_pi(ref.v, MPFR_RNDN);
        if (n == "e") { mpfr_set_ui(ref.v, 1, MPFR_RNDN); mpfr_exp(ref.v, ref.v, MPFR_RNDN); }
        if (n == "sqrt2") mpfr_sqrt_ui(ref.v, 2, MPFR_RNDN);
        if (n == "ln2") mpfr_const_log2(ref.v, MPFR_RNDN);
        if (n == "ln10") { mpfr_set_ui(ref.v, 10, MPFR_RNDN); mpfr_log(ref.v, ref.v, MPFR_RNDN); }
        if (n == "pi/2") { mpfr_const_pi(ref.v, MPFR_RNDN); mpfr_div_2ui(ref.v, ref.v, 1, MPFR_RNDN); }
        if (n == "2/pi") { mpfr_const_pi(ref.v, MPFR_RNDN); mpfr_ui_div(ref.v, 2, ref.v, MPFR_RNDN); }
        if (n == "ln2/16") { mpfr_const_log2(ref.v, MPFR_RNDN); mpfr_div_2ui(ref.v, ref.v, 4, MPFR_RNDN); }
        ostrell_t x = _ostrell_from_raw(c.raw);
        EXPECT_EQ(test::hi(x) + test::lo(x), test::hi(x)) << n;
        EXPECT_LT(test::err_units(x, ref.v) * 0x1p-104, 5e-33) << n << " " << test::hex(x);
    }
}
