// Division where the steps overflow although the quotient is finite: a
// dividend whose high part is the largest binary64 (b_hi * q1 rounds past
// it), and a quotient at the top of the range (q1 + q2 does).  Results are
// checked against MPFR; atan2, fmod and complex division inherit them.
#include <cmath>
#include <random>

#include "ostrell.h"
#include "ostrell_complex.h"
#include "ostrell_math.h"
#include "ostrell_utils.h"
#include "test_util.hpp"

namespace {

using test::pair;
using test::same_bits;

const double MAX = 0x1.fffffffffffffp+1023;  // 0x7FEFFFFFFFFFFFFF
const double INF = HUGE_VAL;

// The exact quotient of a and b, at 2200 bits.
void exact_quotient(mpfr_t q, ostrell_t a, ostrell_t b)
{
    test::Mp xa, xb;
    test::Mp::of(xa.v, a);
    test::Mp::of(xb.v, b);
    mpfr_div(q, xa.v, xb.v, MPFR_RNDN);
}

// A quotient below (1 - 2^-50) * MAX in magnitude must be finite and within
// 4 units of 2^-104; one at or above 2^1024 must be (+-inf, +0).  Between the
// two the double-double rounding may go either way.
::testing::AssertionResult quotient_ok(ostrell_t a, ostrell_t b)
{
    ostrell_t q = ostrell_div(a, b);
    test::Mp ref, mag;
    exact_quotient(ref.v, a, b);
    mpfr_abs(mag.v, ref.v, MPFR_RNDN);
    auto fail = [&](const char* why) {
        return ::testing::AssertionFailure()
               << test::hex(a) << " / " << test::hex(b) << " gave " << test::hex(q) << ": " << why;
    };
    if (mpfr_cmp_d(mag.v, 0x1.ffffffffffff8p+1023) < 0) {
        if (!std::isfinite(test::hi(q)) || !std::isfinite(test::lo(q)))
            return fail("not finite");
        double err = test::err_units(q, ref.v);
        if (!(err <= 4.0))
            return fail("inaccurate") << " (" << err << " units)";
    } else if (mpfr_cmp_d(mag.v, INF) >= 0 || mpfr_get_exp(mag.v) > 1024) {
        if (!same_bits(q, pair(mpfr_sgn(ref.v) < 0 ? -INF : INF, 0.0)))
            return fail("want the signed infinity");
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(DivTop, PublishedCases)
{
    for (double s : {1.0, -1.0})
        for (double d : {3.0, 1.5, -3.0, 7.0, 1.0000000000000002, 1.9999999999999998})
            EXPECT_TRUE(quotient_ok(pair(s * MAX, 0.0), pair(d, 0.0)));
    // 1.7976931348623157e308 / 3 = 5.992310449541053e307
    ostrell_t q = ostrell_div(pair(MAX, 0.0), pair(3.0, 0.0));
    EXPECT_EQ(test::bits(test::hi(q)), 0x7FD5555555555555u) << test::hex(q);
}

// High parts of the top binade, both signs, half of them the largest
// binary64, with random low parts, over random divisors of 2^[-2, 60]:
// finite and accurate where the quotient is, the signed infinity where not.
TEST(DivTop, TopBinadeSweep)
{
    std::mt19937_64 rng(1008);
    for (int i = 0; i < 40000; ++i) {
        double h = (i % 2) ? MAX : test::random_double(rng, 1023, 1023);
        if (rng() & 1) h = -std::fabs(h);
        ostrell_t a = test::with_random_low(rng, h);
        ostrell_t b = test::random_pair(rng, -2, 60);
        ASSERT_TRUE(quotient_ok(a, b));
    }
}

// Quotients in the top binade from moderate dividends over small divisors:
// q1 + q2 may round past the largest binary64 while q1 does not.
TEST(DivTop, QuotientAtTheTop)
{
    std::mt19937_64 rng(1009);
    for (int i = 0; i < 40000; ++i) {
        ostrell_t a = test::random_pair(rng, -40, 40);
        int e = std::ilogb(test::hi(a)) - 1023 - (int)(rng() % 2);
        double bh = std::ldexp(1.0 + std::ldexp((double)(rng() >> 12), -52), e);
        ostrell_t b = test::with_random_low(rng, (rng() & 1) ? -bh : bh);
        ASSERT_TRUE(quotient_ok(a, b));
    }
    // q1 is the largest binary64 and q2 pushes the pair past it: the signed infinity
    ostrell_t big = ostrell_div(pair(MAX, 0x1.fffffffffffffp+969), pair(1.0, -0x1p-54));
    EXPECT_TRUE(same_bits(big, pair(INF, 0.0))) << test::hex(big);
}

// Operands with an infinite or NaN part keep the result of the steps.
TEST(DivTop, NonFiniteOperandPartsKeepTheSteps)
{
    EXPECT_TRUE(std::isnan(test::hi(ostrell_div(pair(MAX, NAN), pair(3.0, 0.0)))));
    EXPECT_TRUE(std::isnan(test::hi(ostrell_div(pair(MAX, 0.0), pair(3.0, INF)))));
}

TEST(DivTop, Atan2OfTheLargestOverThree)
{
    ostrell_t y = pair(MAX, 0.0), x = pair(3.0, 0.0);
    test::Mp ref, xy, xx;
    test::Mp::of(xy.v, y);
    test::Mp::of(xx.v, x);
    mpfr_atan2(ref.v, xy.v, xx.v, MPFR_RNDN);
    ostrell_t r = ostrell_atan2(y, x);
    EXPECT_LE(test::err_units(r, ref.v), 4.0) << "atan2 " << test::hex(y) << ", " << test::hex(x) << " gave "
                                              << test::hex(r);
}

// fmod of the largest binary64: the quotient is finite now, but
// trunc(q) * b overflows, so there is no remainder: NaN, never infinite.
// Just below it the quotient's product stays finite and so does the result.
TEST(DivTop, FmodNextToTheLargest)
{
    for (double b : {3.0, -3.0, 1.5, 52.37}) {
        ostrell_t r = ostrell_fmod(pair(-MAX, 0.0), pair(b, 0.0));
        EXPECT_FALSE(std::isinf(test::hi(r))) << "fmod -max, " << test::hex(b) << " gave " << test::hex(r);
    }
    ostrell_t r = ostrell_fmod(pair(std::nextafter(MAX, 0.0), 0.0), pair(3.0, 0.0));
    EXPECT_TRUE(std::isfinite(test::hi(r))) << test::hex(r);
}

// (7.7e73 + max i) / (3 + 6.7e-20 i): the imaginary numerator keeps the
// high part max, and its division by the denominator 3 overflowed the steps.
TEST(DivTop, ComplexDivisionWithAPartNearTheTop)
{
    ostrell_complex a = {pair(7.7e73, 0.0), pair(MAX, 0.0)};
    ostrell_complex b = {pair(3.0, 0.0), pair(6.7e-20, 0.0)};
    ostrell_complex z = ostrell_complex_div(a, b);
    // reference: (a.r b.r + a.i b.i) / |b|^2 and (a.i b.r - a.r b.i) / |b|^2
    test::Mp ar, ai, br, bi, t, u, den, re, im;
    test::Mp::of(ar.v, a.real);
    test::Mp::of(ai.v, a.imag);
    test::Mp::of(br.v, b.real);
    test::Mp::of(bi.v, b.imag);
    mpfr_sqr(den.v, br.v, MPFR_RNDN);
    mpfr_sqr(t.v, bi.v, MPFR_RNDN);
    mpfr_add(den.v, den.v, t.v, MPFR_RNDN);
    mpfr_mul(t.v, ar.v, br.v, MPFR_RNDN);
    mpfr_mul(u.v, ai.v, bi.v, MPFR_RNDN);
    mpfr_add(re.v, t.v, u.v, MPFR_RNDN);
    mpfr_div(re.v, re.v, den.v, MPFR_RNDN);
    mpfr_mul(t.v, ai.v, br.v, MPFR_RNDN);
    mpfr_mul(u.v, ar.v, bi.v, MPFR_RNDN);
    mpfr_sub(im.v, t.v, u.v, MPFR_RNDN);
    mpfr_div(im.v, im.v, den.v, MPFR_RNDN);
    EXPECT_LE(test::err_units(z.real, re.v), 16.0) << test::hex(z.real);
    EXPECT_LE(test::err_units(z.imag, im.v), 16.0) << test::hex(z.imag);
}
