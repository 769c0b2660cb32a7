// Plain complex arithmetic: exact cases by bits, Smith's branches, overflow
// behaviour, and accuracy against MPFR on random arguments.
#include "test_complex_util.hpp"

using test::cpair;
using test::same_bits;

namespace {

ostrell_complex c(double re, double im) { return cpair(test::pair(re, 0.0), test::pair(im, 0.0)); }

} // namespace

// ---- exactness -------------------------------------------------------------

TEST(ComplexExact, FourProductMul)
{
    ostrell_complex z = ostrell_complex_mul(c(1, 2), c(3, 4));
    EXPECT_TRUE(same_bits(z.real, test::pair(-5.0, 0.0)));
    EXPECT_TRUE(same_bits(z.imag, test::pair(10.0, 0.0)));
}

TEST(ComplexExact, AddSubArePartwise)
{
    ostrell_t a = test::pair(1.0, 1e-17), b = test::pair(-3.0, 2e-18);
    ostrell_complex x = cpair(a, b), y = cpair(b, a);
    ostrell_complex s = ostrell_complex_add(x, y), d = ostrell_complex_sub(x, y);
    EXPECT_TRUE(same_bits(s.real, ostrell_add(a, b)));
    EXPECT_TRUE(same_bits(s.imag, ostrell_add(b, a)));
    EXPECT_TRUE(same_bits(d.real, ostrell_sub(a, b)));
    EXPECT_TRUE(same_bits(d.imag, ostrell_sub(b, a)));
}

TEST(ComplexExact, AbsOfThreeFourI)
{
    EXPECT_TRUE(same_bits(ostrell_complex_abs_sqr(c(3, 4)), test::pair(25.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_complex_abs(c(3, 4)), test::pair(5.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_complex_abs(c(-3, -4)), test::pair(5.0, 0.0)));
}

// ---- special values and overflow --------------------------------------------

TEST(ComplexSpecial, AbsOverflowsWhenSquaresDo)
{
    // The squares are formed without rescaling, so the modulus 1.41e200 is lost.
    EXPECT_TRUE(same_bits(ostrell_complex_abs(c(1e200, 1e200)), test::pair(INFINITY, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_complex_abs_sqr(c(1e200, 0)), test::pair(INFINITY, 0.0)));
}

TEST(ComplexSpecial, DivisionByZeroIsNaNInBothParts)
{
    for (double sr : {0.0, -0.0})
        for (double si : {0.0, -0.0})
            for (auto a : {c(1, 2), c(0, 0), c(-1e300, 5)}) {
                ostrell_complex z = ostrell_complex_div(a, c(sr, si));
                EXPECT_TRUE(ostrell_isnan(z.real)) << test::hex(z.real);
                EXPECT_TRUE(ostrell_isnan(z.imag)) << test::hex(z.imag);
            }
}

TEST(ComplexSpecial, LargeDivisorDoesNotOverflow)
{
    ostrell_complex z = ostrell_complex_div(c(1e300, 0), c(1e300, 1e300));
    EXPECT_TRUE(same_bits(z.real, test::pair(0.5, 0.0)));
    EXPECT_TRUE(same_bits(z.imag, test::pair(-0.5, 0.0)));
    z = ostrell_complex_div(c(0, 1e300), c(1e-300, 1e300));
    EXPECT_EQ(test::hi(z.real), 1.0) << test::hex(z.real);
}

// ---- Smith's branches --------------------------------------------------------

TEST(ComplexDiv, SmallExamplesToFullPrecision)
{
    struct Case { ostrell_complex a, b; double re_num, im_num, den; };
    // (1+2i)/(3+4i) = (11+2i)/25 (branch 2);  (1+2i)/(4+3i) = (10+5i)/25 (branch 1)
    for (Case k : {Case{c(1, 2), c(3, 4), 11, 2, 25}, Case{c(1, 2), c(4, 3), 10, 5, 25}}) {
        ostrell_complex z = ostrell_complex_div(k.a, k.b);
        test::Mp re, im;
        mpfr_set_d(re.v, k.re_num, MPFR_RNDN);
        mpfr_div_d(re.v, re.v, k.den, MPFR_RNDN);
        mpfr_set_d(im.v, k.im_num, MPFR_RNDN);
        mpfr_div_d(im.v, im.v, k.den, MPFR_RNDN);
        EXPECT_LT(test::err_units(z.real, re.v), 4.0) << test::hex(z.real);
        EXPECT_LT(test::err_units(z.imag, im.v), 4.0) << test::hex(z.imag);
    }
}

TEST(ComplexDiv, EqualMagnitudesTakeTheSecondBranch)
{
    // (1+i)/(1-i) = i.  With r = -1 the first branch forms (1-1)/2 = +0 as the
    // real part, the second (-1+1)/(-2) = -0: the sign of zero shows the branch.
    ostrell_complex z = ostrell_complex_div(c(1, 1), c(1, -1));
    EXPECT_TRUE(same_bits(test::hi(z.real), -0.0));
    EXPECT_EQ(test::lo(z.real), 0.0) << test::hex(z.real);
    EXPECT_EQ(test::hi(z.imag), 1.0) << test::hex(z.imag);
    EXPECT_EQ(test::lo(z.imag), 0.0) << test::hex(z.imag);
}

// ---- accuracy against MPFR ---------------------------------------------------

namespace {

// Random operands with components of comparable size (exponents -20..20) and
// with one tiny component, so both Smith branches and cancellation occur.
ostrell_complex random_complex(std::mt19937_64& rng)
{
    ostrell_t re = test::random_pair(rng, -20, 20), im = test::random_pair(rng, -20, 20);
    if (rng() % 8 == 0) im = test::random_pair(rng, -60, -40);
    if (rng() % 8 == 0) re = test::random_pair(rng, -60, -40);
    return cpair(re, im);
}

} // namespace

TEST(ComplexAccuracy, MulAndDivAgainstMpfr)
{
    std::mt19937_64 rng(20240611);
    double worst_mul = 0, worst_div = 0, worst_abs = 0;
    for (int i = 0; i < 20000; ++i) {
        ostrell_complex a = random_complex(rng), b = random_complex(rng);
        test::Cmp ma(a), mb(b), ref;

        ref.mul(ma, mb);
        ostrell_complex p = ostrell_complex_mul(a, b);
        double e = test::cerr_units(p, ref);
        worst_mul = std::max(worst_mul, e);
        ASSERT_LT(e, 8.0) << "mul " << test::chex(a) << " * " << test::chex(b);

        ref.div(ma, mb);
        ostrell_complex q = ostrell_complex_div(a, b);
        e = test::cerr_units(q, ref);
        worst_div = std::max(worst_div, e);
        ASSERT_LT(e, 16.0) << "div " << test::chex(a) << " / " << test::chex(b);

        test::Mp m;
        ma.norm(m.v);
        e = test::err_units(ostrell_complex_abs(a), m.v);
        worst_abs = std::max(worst_abs, e);
        ASSERT_LT(e, 8.0) << "abs " << test::chex(a);
    }
    std::printf("max error (units of 2^-104, normwise): mul %.2f  div %.2f  abs %.2f\n",
                worst_mul, worst_div, worst_abs);
}

extern "C" void c_complex_div_abs(const double* in, double* out);

TEST(ComplexC, SameBitsAsCpp)
{
    const double in[8] = {1.0, 1e-17, -2.0, 3e-17, 3.0, -1e-16, 4.0, 2e-16};
    double out[6];
    c_complex_div_abs(in, out);
    ostrell_complex a = cpair(test::pair(in[0], in[1]), test::pair(in[2], in[3]));
    ostrell_complex b = cpair(test::pair(in[4], in[5]), test::pair(in[6], in[7]));
    ostrell_complex q = ostrell_complex_div(a, b);
    EXPECT_TRUE(same_bits(test::pair(out[0], out[1]), q.real));
    EXPECT_TRUE(same_bits(test::pair(out[2], out[3]), q.imag));
    EXPECT_TRUE(same_bits(test::pair(out[4], out[5]), ostrell_complex_abs(b)));
}
