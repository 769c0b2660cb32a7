// floor, ceil, trunc, round and fmod: the published cases by bits, the
// decided trunc of an integral high part, infinities, and exactness of the
// rounded value against MPFR on random pairs.
#include "test_util.hpp"
#include "ostrell_math.h"

using test::pair;
using test::same_bits;

namespace {
const double inf = HUGE_VAL;
const double two60 = 0x1p60;
ostrell_t D(double d) { return ostrell_from_double(d); }
} // namespace

TEST(Rounding, FloorCeilPublishedCases)
{
    EXPECT_TRUE(same_bits(ostrell_floor(D(2.5)), pair(2.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_floor(D(-2.5)), pair(-3.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_floor(pair(3.0, -1e-16)), pair(2.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_ceil(pair(3.0, 1e-16)), pair(4.0, 0.0)));
    // ceil(-1e-16) is -0, and the quick-two-sum keeps it: (3, -0).
    EXPECT_TRUE(same_bits(ostrell_ceil(pair(3.0, -1e-16)), pair(3.0, -0.0)));
    EXPECT_TRUE(same_bits(ostrell_floor(pair(two60, 3.5)), pair(two60, 3.0)));
    EXPECT_TRUE(same_bits(ostrell_ceil(pair(two60, 3.5)), pair(two60, 4.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(two60, 3.5)), pair(two60, 3.0)));
}

// An integral high part with a low part of the other sign: the truncation of
// the exact sum, not of each part.
TEST(Rounding, TruncOfIntegralHighPartTruncatesTheSum)
{
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(3.0, -1e-16)), pair(2.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(-3.0, 1e-16)), pair(-2.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(-two60, 3.5)), pair(-two60, 4.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(-two60, -3.5)), pair(-two60, -3.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(pair(3.0, 1e-16)), pair(3.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(D(-2.5)), pair(-2.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_trunc(D(2.5)), pair(2.0, 0.0)));
}

TEST(Rounding, RoundHalfAwayFromZero)
{
    EXPECT_TRUE(same_bits(ostrell_round(D(2.5)), pair(3.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_round(D(-2.5)), pair(-3.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_round(pair(0.5, -1e-17)), pair(0.0, 0.0)));
    // 0.49999999999999994 + 0.5 rounds to 1 in binary64, not in double-double.
    EXPECT_TRUE(same_bits(ostrell_round(D(0x1.fffffffffffffp-2)), pair(0.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_round(pair(two60, 0.5)), pair(two60, 1.0)));
    EXPECT_TRUE(same_bits(ostrell_round(pair(two60, -0.5)), pair(two60, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_round(pair(-two60, 0.5)), pair(-two60, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_round(pair(-two60, -0.5)), pair(-two60, -1.0)));
}

// Decided: an infinite high part gives (that infinity, +0), not a NaN low part.
TEST(Rounding, InfinitiesComeBackWithZeroLowPart)
{
    for (double s : {inf, -inf}) {
        for (double lo : {0.0, 1.0, -1.0}) {
            ostrell_t x = pair(s, lo);
            EXPECT_TRUE(same_bits(ostrell_floor(x), D(s))) << test::hex(x);
            EXPECT_TRUE(same_bits(ostrell_ceil(x), D(s))) << test::hex(x);
            EXPECT_TRUE(same_bits(ostrell_trunc(x), D(s))) << test::hex(x);
            EXPECT_TRUE(same_bits(ostrell_round(x), D(s))) << test::hex(x);
        }
    }
}

TEST(Rounding, NaNStaysNaN)
{
    ostrell_t x = pair(test::from_bits(0x7FF8000000000000), 0.0);
    EXPECT_TRUE(ostrell_isnan(ostrell_floor(x)));
    EXPECT_TRUE(ostrell_isnan(ostrell_ceil(x)));
    EXPECT_TRUE(ostrell_isnan(ostrell_trunc(x)));
    EXPECT_TRUE(ostrell_isnan(ostrell_round(x)));
}

TEST(Fmod, PublishedCases)
{
    EXPECT_TRUE(same_bits(ostrell_fmod(D(7), D(3)), pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_fmod(D(-7), D(3)), pair(-1.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_fmod(D(7), D(-3)), pair(1.0, 0.0)));
    for (double a : {0.0, -0.0, 1.0, -5.5, 1e300, inf, -inf})
        EXPECT_TRUE(ostrell_isnan(ostrell_fmod(D(a), D(0.0)))) << test::hex(a);
    EXPECT_TRUE(ostrell_isnan(ostrell_fmod(D(inf), D(3))));
    EXPECT_TRUE(ostrell_isnan(ostrell_fmod(D(7), D(inf))));
}

// Finite operands whose quotient overflows: NaN, never an infinite remainder.
TEST(Fmod, OverflowingQuotientIsNaN)
{
    for (double a : {1e300, -1e300, 1.7e308})
        for (double b : {1e-300, -1e-300, 5e-324}) {
            ostrell_t r = ostrell_fmod(D(a), D(b));
            EXPECT_TRUE(same_bits(r, pair(test::from_bits(0x7FF8000000000000), 0.0)))
                << test::hex(a) << " fmod " << test::hex(b) << " gave " << test::hex(r);
        }
    EXPECT_FALSE(ostrell_isnan(ostrell_fmod(D(1e300), D(1e5))));  // large but finite quotient
}

// A quotient just below an integer n: trunc gives n - 1, so the remainder
// keeps the sign of the dividend instead of flipping.
TEST(Fmod, QuotientJustBelowAnInteger)
{
    ostrell_t a = pair(3.0, -1e-20), b = D(1.0);  // a/b = (3, -1e-20)
    ostrell_t r = ostrell_fmod(a, b);
    EXPECT_GT(test::hi(r), 0.0) << test::hex(r);
    EXPECT_TRUE(same_bits(r, pair(1.0, -1e-20)));
}

// Against MPFR: floor/ceil/trunc/round are exact and give the integer of
// the exact sum; the quick-two-sum result is normalised.
TEST(Rounding, ExactOnRandomPairs)
{
    std::mt19937_64 rng(4);
    test::Mp x(2200), want(2200), got(2200);
    for (int n = 0; n < 4000; ++n) {
        ostrell_t v = test::random_pair(rng, -3, 80);
        if (n % 4 == 0) v = pair(std::round(test::hi(v)), test::lo(v));  // integral high part
        test::Mp::of(x.v, v);
        struct { ostrell_t (*f)(ostrell_t); int (*ref)(mpfr_ptr, mpfr_srcptr); const char* name; } fs[] = {
            {ostrell_floor, mpfr_floor, "floor"}, {ostrell_ceil, mpfr_ceil, "ceil"},
            {ostrell_trunc, mpfr_trunc, "trunc"}, {ostrell_round, mpfr_round, "round"}};
        for (auto& f : fs) {
            ostrell_t r = f.f(v);
            f.ref(want.v, x.v);
            test::Mp::of(got.v, r);
            ASSERT_TRUE(mpfr_equal_p(got.v, want.v)) << f.name << " of " << test::hex(v) << " gave " << test::hex(r);
            ASSERT_EQ(test::hi(r) + test::lo(r), test::hi(r)) << f.name << " of " << test::hex(v);
        }
    }
}

// fmod on random operands: |r| < |b|, r has the sign of a (or is zero), and
// r agrees with the exact a - trunc(a/b) b within a few units of |a|.
TEST(Fmod, RandomOperandsAgainstMpfr)
{
    std::mt19937_64 rng(5);
    test::Mp a(2200), b(2200), q(2200), ref(2200);
    double worst = 0;
    for (int n = 0; n < 3000; ++n) {
        ostrell_t x = test::random_pair(rng, -5, 40), y = test::random_pair(rng, -5, 10);
        test::Mp::of(a.v, x);
        test::Mp::of(b.v, y);
        mpfr_div(q.v, a.v, b.v, MPFR_RNDZ);
        mpfr_trunc(q.v, q.v);
        mpfr_mul(ref.v, q.v, b.v, MPFR_RNDN);
        mpfr_sub(ref.v, a.v, ref.v, MPFR_RNDN);
        ostrell_t r = ostrell_fmod(x, y);
        double rh = test::hi(r);
        if (mpfr_zero_p(ref.v)) continue;
        ASSERT_LE(std::fabs(rh), std::fabs(test::hi(y)) * (1 + 1e-15)) << test::hex(x) << " " << test::hex(y);
        // The remainder is found as a - q b, so its error is relative to |a|.
        test::Mp d(2200);
        test::Mp::of(d.v, r);
        mpfr_sub(d.v, d.v, ref.v, MPFR_RNDN);
        mpfr_div(d.v, d.v, a.v, MPFR_RNDN);
        double e = std::fabs(mpfr_get_d(d.v, MPFR_RNDN)) * 0x1p104;
        worst = std::max(worst, e);
        ASSERT_LT(e, 16.0) << test::hex(x) << " " << test::hex(y) << " gave " << test::hex(r);
    }
    std::printf("fmod: max |r - ref| / |a| = %.2f units of 2^-104\n", worst);
}
