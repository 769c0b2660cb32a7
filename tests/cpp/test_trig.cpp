// Sine, cosine and tangent: reference bits, special values, accuracy against
// MPFR by argument range, and the bound |sin|, |cos| <= 1.
#include <cmath>

#include "trig_accuracy.hpp"
#include "ostrell_math.h"

namespace {

using test::pair;
using test::pair_bits;
using test::same_bits;

const ostrell_t nan_result = pair_bits(0x7FF8000000000000, 0);
const ostrell_t pi_over_2 = _ostrell_from_raw(_ostrell_pi_over_2_raw);
const ostrell_t pi = _ostrell_from_raw(_ostrell_pi_raw);
const double two_pi = 0x1.921fb54442d18p+2; // 0x401921FB54442D18

struct Sct { ostrell_t s, c, t; };
Sct sct(ostrell_t x) { return {ostrell_sin(x), ostrell_cos(x), ostrell_tan(x)}; }

// ---- reference bits --------------------------------------------------------

struct RefRow { double x; uint64_t s[2], c[2], t[2]; };
const RefRow ref_rows[] = {
    {0.5, {0x3FDEAEE8744B05F0, 0xBC5789B43C9B027C}, {0x3FEC1528065B7D50, 0xBC8892111312E828},
          {0x3FE17B4F5BF3474A, 0x3C80C5E59201E209}},
    {10, {0xBFE1689EF5F34F52, 0xBC8673FD915F012A}, {0xBFEAD9AC890C6B1F, 0xBC704F7E2A0B9993},
         {0x3FE4BF5F34BE3782, 0x3C877F56897D244C}},
    {100, {0xBFE03425B78C4DB8, 0xBC4C23D8557421D0}, {0x3FEB981DBF665FDF, 0x3C88FD0CDCD985E0},
          {0xBFE2CA74D62B5D38, 0x3C841BCCBB510DD9}},
};

TEST(TrigBits, ReferenceRows)
{
    for (const RefRow& row : ref_rows) {
        SCOPED_TRACE(test::hex(row.x));
        ostrell_t x = ostrell_from_double(row.x), s, c;
        EXPECT_TRUE(same_bits(ostrell_sin(x), pair_bits(row.s[0], row.s[1])));
        EXPECT_TRUE(same_bits(ostrell_cos(x), pair_bits(row.c[0], row.c[1])));
        EXPECT_TRUE(same_bits(ostrell_tan(x), pair_bits(row.t[0], row.t[1])));
        ostrell_sincos(x, &s, &c);
        EXPECT_TRUE(same_bits(s, ostrell_sin(x)));
        EXPECT_TRUE(same_bits(c, ostrell_cos(x)));
    }
}

// ---- special values --------------------------------------------------------

TEST(TrigSpecial, NanAndInfinityGiveNan)
{
    const double highs[] = {std::nan(""), -std::nan(""), INFINITY, -INFINITY};
    const double lows[] = {0.0, 1.0, std::nan("")};
    for (double h : highs)
        for (double l : lows) {
            SCOPED_TRACE(test::hex(pair(h, l)));
            Sct r = sct(pair(h, l));
            EXPECT_TRUE(same_bits(r.s, nan_result));
            EXPECT_TRUE(same_bits(r.c, nan_result));
            EXPECT_TRUE(std::isnan(test::hi(r.t)));
        }
}

TEST(TrigSpecial, Zeros)
{
    for (ostrell_t z : {pair(0.0, 0.0), pair(-0.0, -0.0)}) {
        SCOPED_TRACE(test::hex(z));
        EXPECT_TRUE(same_bits(ostrell_sin(z), pair(0.0, 0.0)));
        EXPECT_TRUE(same_bits(ostrell_cos(z), pair(1.0, 0.0)));
    }
}

// At the stored multiples of π/2 the reduced argument is exactly zero.
TEST(TrigSpecial, StoredMultiplesOfHalfPi)
{
    Sct r = sct(pi_over_2);
    EXPECT_TRUE(same_bits(r.s, pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(r.c, pair(-0.0, -0.0)));
    EXPECT_TRUE(same_bits(r.t, pair(-INFINITY, 0.0)));

    r = sct(pi);
    EXPECT_TRUE(same_bits(r.s, pair(-0.0, -0.0)));
    EXPECT_TRUE(same_bits(r.c, pair(-1.0, -0.0)));

    r = sct(ostrell_neg(pi_over_2));
    EXPECT_TRUE(same_bits(r.s, pair(-1.0, -0.0)));
    EXPECT_TRUE(same_bits(r.c, pair(0.0, 0.0)));
    EXPECT_TRUE(same_bits(r.t, pair(-INFINITY, 0.0)));
}

// Above 9e18 the result is that of the binary64 high part folded into
// [0, 2π) by the binary64 2π; the low part plays no part.
TEST(TrigSpecial, FoldAboveNineE18)
{
    const double fold = 0x1.f399b1438a1p+62; // 9e18
    const double cases[][2] = {{1e19, 0.0},       {1e19, 512.0},          {-1e19, 0.0},
                               {-1e19, -777.0},   {std::nextafter(fold, 1e300), 0.0},
                               {1e300, 1e283},    {-0x1.fffffffffffffp+1023, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(test::hex(pair(c[0], c[1])));
        double folded = std::fmod(c[0], two_pi);
        if (folded < 0) folded = folded + two_pi;
        ASSERT_GE(folded, 0.0);
        ASSERT_LT(folded, two_pi);
        Sct got = sct(pair(c[0], c[1])), want = sct(ostrell_from_double(folded));
        EXPECT_TRUE(same_bits(got.s, want.s));
        EXPECT_TRUE(same_bits(got.c, want.c));
        EXPECT_TRUE(same_bits(got.t, want.t));
    }
    // The threshold itself is not folded.
    ostrell_t x = ostrell_from_double(fold);
    double folded = std::fmod(fold, two_pi);
    EXPECT_FALSE(same_bits(ostrell_sin(x), ostrell_sin(ostrell_from_double(folded))));
}

// ---- accuracy --------------------------------------------------------------

// sin, cos, tan of n arguments from gen against MPFR of ref_arg(x) (the
// argument itself, or the folded one).  Below π/4 the errors are relative;
// beyond, sin and cos are measured absolutely and tan as |err| / (1 + tan²),
// i.e. the error referred back to the argument, since the reduction leaves an
// absolute error that grows with |x|.  The bound is base + per_unit·|x|.
void same_arg(mpfr_t out, ostrell_t x) { test::Mp::of(out, x); }

template <class Gen, class RefArg = decltype(&same_arg)>
void sweep(const char* range, int n, unsigned seed, bool relative, double base, double per_unit,
           Gen gen, RefArg ref_arg = &same_arg)
{
    std::mt19937_64 rng(seed);
    std::string r(range);
    test::Worst ws{"sin " + r}, wc{"cos " + r}, wt{"tan " + r};
    test::Mp xv(2200), sv(320), cv(320), tv(320);
    for (int i = 0; i < n; ++i) {
        ostrell_t x = gen(rng);
        ref_arg(xv.v, x);
        mpfr_sin_cos(sv.v, cv.v, xv.v, MPFR_RNDN);
        mpfr_tan(tv.v, xv.v, MPFR_RNDN);
        Sct got = sct(x);
        double limit = base + per_unit * std::fabs(test::hi(x) > 9e18 || test::hi(x) < -9e18 ? 7.0 : test::hi(x));
        double es = test::scaled_err(got.s, sv.v, relative ? 0.0 : 1.0);
        double ec = test::scaled_err(got.c, cv.v, relative ? 0.0 : 1.0);
        double et;
        if (relative) {
            et = test::scaled_err(got.t, tv.v, 0.0);
        } else {
            double t = std::fabs(mpfr_get_d(tv.v, MPFR_RNDN));
            et = test::scaled_err(got.t, tv.v, 1.0) * std::max(1.0, t) / (1.0 + t * t);
        }
        std::string a = test::hex(x);
        ws.see(es, a); wc.see(ec, a); wt.see(et, a);
        EXPECT_LE(es, limit) << "sin " << a;
        EXPECT_LE(ec, limit) << "cos " << a;
        EXPECT_LE(et, limit) << "tan " << a;
    }
}

ostrell_t uniform_upto(std::mt19937_64& rng, double m)
{
    std::uniform_real_distribution<double> u(-m, m);
    return test::with_random_low(rng, u(rng));
}

TEST(TrigAccuracy, BelowQuarterPi)
{
    sweep("|x| < pi/4", 3000, 1, true, 8, 0, [](std::mt19937_64& rng) {
        return (rng() & 3) ? uniform_upto(rng, 0.7853981633974483)
                           : test::random_pair(rng, -40, -2);
    });
}

TEST(TrigAccuracy, UpTo100) { sweep("|x| <= 100", 3000, 2, false, 8, 1.0, [](std::mt19937_64& r) { return uniform_upto(r, 100); }); }
TEST(TrigAccuracy, UpTo1e6) { sweep("|x| <= 1e6", 3000, 3, false, 8, 1.0, [](std::mt19937_64& r) { return uniform_upto(r, 1e6); }); }
TEST(TrigAccuracy, UpTo1e15)
{
    sweep("1e6 < |x| <= 1e15", 3000, 4, false, 8, 1.0,
          [](std::mt19937_64& r) { return test::with_random_low(r, test::log_uniform(r, 1e6, 1e15)); });
}
TEST(TrigAccuracy, From1e15To9e18)
{
    sweep("1e15 < |x| <= 9e18", 3000, 5, false, 8, 1.0,
          [](std::mt19937_64& r) { return test::with_random_low(r, test::log_uniform(r, 1e15, 9e18)); });
}

// Above the fold: against the folded binary64 argument, as documented.
TEST(TrigAccuracy, AboveFoldAgainstFoldedArgument)
{
    sweep("|x| > 9e18 (folded)", 2000, 6, false, 8, 1.0,
          [](std::mt19937_64& r) { return test::with_random_low(r, test::log_uniform(r, 9.0001e18, 1e308)); },
          [](mpfr_t out, ostrell_t x) {
              test::Mp m(2200), two(64);
              mpfr_set_d(two.v, two_pi, MPFR_RNDN);
              mpfr_set_d(m.v, test::hi(x), MPFR_RNDN);
              mpfr_fmod(out, m.v, two.v, MPFR_RNDN);
              if (mpfr_sgn(out) < 0) mpfr_set_d(out, mpfr_get_d(out, MPFR_RNDN) + two_pi, MPFR_RNDN);
          });
}

// ---- range of the results --------------------------------------------------

bool within_unit(ostrell_t v)
{
    double h = test::hi(v), l = test::lo(v);
    return std::fabs(h) < 1.0 || (std::fabs(h) == 1.0 && !(h * l > 0));
}

// Every finite argument, including those at and beyond 2^52 quarter turns where
// k must take the low part of x·2/π into account.
TEST(TrigRange, SinCosWithinUnitInterval)
{
    std::mt19937_64 rng(7);
    const double quarter = 0x1.921fb54442d18p+0;
    for (int i = 0; i < 20000; ++i) {
        ostrell_t x;
        switch (i % 4) {
        case 0: x = test::with_random_low(rng, test::log_uniform(rng, 1e-3, 9e18)); break;
        case 1: x = test::with_random_low(rng, test::log_uniform(rng, 1e15, 9e18)); break;
        case 2: x = test::random_pair(rng, -1074, 1023); break;
        default: // just past an odd multiple of π/4 at large k
            x = test::with_random_low(rng, (std::ldexp(double(rng() >> 12), int(rng() % 10)) + 0.5) * quarter);
        }
        ostrell_t s, c;
        ostrell_sincos(x, &s, &c);
        ASSERT_TRUE(within_unit(s)) << "sin " << test::hex(x) << " = " << test::hex(s);
        ASSERT_TRUE(within_unit(c)) << "cos " << test::hex(x) << " = " << test::hex(c);
    }
}

} // namespace
