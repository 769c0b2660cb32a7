// atan, asin, acos, atan2: special values by bits and accuracy against MPFR.
#include <cmath>

#include "trig_accuracy.hpp"
#include "ostrell_math.h"

namespace {

using test::pair;
using test::pair_bits;
using test::same_bits;

const ostrell_t nan_result = pair_bits(0x7FF8000000000000, 0);
const ostrell_t half_pi = pair_bits(0x3FF921FB54442D18, 0x3C91A62633145C07);
const ostrell_t minus_half_pi = pair_bits(0xBFF921FB54442D18, 0xBC91A62633145C07);
const ostrell_t pi = pair_bits(0x400921FB54442D18, 0x3CA1A62633145C07);
const ostrell_t minus_pi = pair_bits(0xC00921FB54442D18, 0xBCA1A62633145C07);
const ostrell_t pos_zero = pair(0.0, 0.0);
const ostrell_t neg_zero = pair(-0.0, -0.0);
const ostrell_t one = pair(1.0, 0.0);
const ostrell_t minus_one = pair(-1.0, 0.0);
const ostrell_t inf = pair(INFINITY, 0.0);
const ostrell_t minus_inf = pair(-INFINITY, 0.0);

// ---- special values --------------------------------------------------------

TEST(AtanSpecial, InfinityNanZero)
{
    EXPECT_TRUE(same_bits(ostrell_atan(inf), half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan(minus_inf), minus_half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan(pair(std::nan(""), 1.0)), nan_result));
    EXPECT_TRUE(same_bits(ostrell_atan(pos_zero), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_atan(neg_zero), pos_zero));
}

// The reciprocal branch starts strictly above 1 and is odd bit for bit.
TEST(AtanSpecial, BranchAtOne)
{
    EXPECT_TRUE(same_bits(ostrell_atan(one), _ostrell_atan_near_zero(one)));
    ostrell_t two = ostrell_atan(pair(2.0, 0.0));
    EXPECT_TRUE(same_bits(two, ostrell_sub(half_pi, _ostrell_atan_near_zero(pair(0.5, 0.0)))));
    EXPECT_TRUE(same_bits(ostrell_atan(pair(-2.0, 0.0)), ostrell_neg(two)));
}

TEST(AsinAcosSpecial, DomainAndExactValues)
{
    const ostrell_t outside[] = {pair(1.0, 1e-20), pair(-1.0, -1e-20), pair(1.5, 0.0),
                                 pair(-1.5, 0.0), inf, minus_inf, pair(std::nan(""), 0.0)};
    for (ostrell_t x : outside) {
        EXPECT_TRUE(same_bits(ostrell_asin(x), nan_result)) << test::hex(x);
        EXPECT_TRUE(same_bits(ostrell_acos(x), nan_result)) << test::hex(x);
    }
    EXPECT_TRUE(same_bits(ostrell_asin(one), half_pi));
    EXPECT_TRUE(same_bits(ostrell_asin(minus_one), minus_half_pi));
    EXPECT_TRUE(same_bits(ostrell_asin(neg_zero), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_acos(one), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_acos(minus_one), pi));
    EXPECT_TRUE(same_bits(ostrell_acos(pos_zero), half_pi));
    EXPECT_TRUE(same_bits(ostrell_acos(neg_zero), half_pi));

    // Just inside the domain at ±1: finite, just short of the end values.
    ostrell_t a = ostrell_asin(pair(1.0, -1e-20));
    EXPECT_TRUE(std::isfinite(test::hi(a)) && ostrell_lt(a, half_pi)) << test::hex(a);
    ostrell_t c = ostrell_acos(pair(-1.0, 1e-20));
    EXPECT_TRUE(std::isfinite(test::hi(c)) && ostrell_lt(c, pi)) << test::hex(c);
}

TEST(Atan2Special, SignedZeros)
{
    EXPECT_TRUE(same_bits(ostrell_atan2(pos_zero, pos_zero), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_atan2(neg_zero, pos_zero), pair(-0.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_atan2(pos_zero, neg_zero), pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(neg_zero, neg_zero), minus_pi));
    // A negative-zero y counts as non-negative beside a negative x.
    EXPECT_TRUE(same_bits(ostrell_atan2(neg_zero, minus_one), pi));
}

TEST(Atan2Special, AxesAndDiagonals)
{
    EXPECT_TRUE(same_bits(ostrell_atan2(one, pos_zero), half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(minus_one, pos_zero), minus_half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, neg_zero), half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, one), ostrell_atan(one)));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, minus_one), ostrell_add(ostrell_atan(minus_one), pi)));
    EXPECT_TRUE(same_bits(ostrell_atan2(pair(std::nan(""), 0.0), one), nan_result));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, pair(std::nan(""), 0.0)), nan_result));
}

// Infinities go through the quotient y/x; an infinite quotient is ±inf, so an
// infinite y beside a finite non-zero x gives ±π/2.
TEST(Atan2Special, Infinities)
{
    EXPECT_TRUE(std::isnan(test::hi(ostrell_atan2(inf, inf))));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, inf), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_atan2(minus_one, inf), pos_zero));
    EXPECT_TRUE(same_bits(ostrell_atan2(one, minus_inf), pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(minus_one, minus_inf), minus_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(inf, minus_one), half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(inf, one), half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(minus_inf, one), minus_half_pi));
    EXPECT_TRUE(same_bits(ostrell_atan2(minus_inf, minus_one), minus_half_pi));
}

// ---- accuracy --------------------------------------------------------------

// Relative error of f(x) against MPFR's g(x) over n arguments from gen,
// within limit(x) units of 2^-104.
template <class F, class G, class Gen, class Limit>
void sweep1(const char* what, int n, unsigned seed, Limit limit, F f, G g, Gen gen)
{
    std::mt19937_64 rng(seed);
    test::Worst w{what};
    test::Mp xv(2200), rv(320);
    for (int i = 0; i < n; ++i) {
        ostrell_t x = gen(rng);
        test::Mp::of(xv.v, x);
        g(rv.v, xv.v, MPFR_RNDN);
        double e = test::scaled_err(f(x), rv.v, 0.0);
        w.see(e, test::hex(x));
        EXPECT_LE(e, limit(x)) << what << " " << test::hex(x);
    }
}

double flat(ostrell_t) { return 8; }

// 1 - x·x is formed by cancellation: its absolute error of about 2^-106 is
// relative 2^-106 / (2d) at d = 1 - |x|.  Through the square root that costs
// asin, and acos near -1, an error growing as 1/sqrt(d); acos near +1, whose
// value is itself about sqrt(2d), a relative error growing as 1/d.
double distance_to_one(ostrell_t x)
{
    test::Mp dv(2200);
    test::Mp::of(dv.v, x);
    mpfr_abs(dv.v, dv.v, MPFR_RNDN);
    mpfr_ui_sub(dv.v, 1, dv.v, MPFR_RNDN);
    return mpfr_get_d(dv.v, MPFR_RNDN);
}
double asin_limit(ostrell_t x) { return 8 + 1 / std::sqrt(distance_to_one(x)); }
double acos_limit(ostrell_t x)
{
    double d = distance_to_one(x);
    return test::hi(x) > 0 ? 8 + 1 / d : 8 + 1 / std::sqrt(d);
}

ostrell_t uniform_unit(std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    return test::with_random_low(rng, u(rng));
}

// ±(1 - d) with d log-uniform in [2^-100, 2^-4]: hi = ±1 once d is below half an ulp of 1.
ostrell_t near_unit(std::mt19937_64& rng)
{
    double d = std::fabs(test::log_uniform(rng, 0x1p-100, 0x1p-4));
    double h = 1.0 - d;
    ostrell_t x = pair(h, -(d - (1.0 - h)));
    return (rng() & 1) ? ostrell_neg(x) : x;
}

TEST(InverseTrigAccuracy, Atan)
{
    sweep1("atan 2^-40 <= |x| < 2^40", 3000, 11, flat, ostrell_atan, mpfr_atan,
           [](std::mt19937_64& r) { return test::random_pair(r, -40, 39); });
    sweep1("atan |x| <= 1", 3000, 12, flat, ostrell_atan, mpfr_atan, uniform_unit);
}

TEST(InverseTrigAccuracy, AsinAcos)
{
    sweep1("asin |x| < 1", 3000, 13, asin_limit, ostrell_asin, mpfr_asin, uniform_unit);
    sweep1("acos |x| < 1", 3000, 14, acos_limit, ostrell_acos, mpfr_acos, uniform_unit);
    sweep1("asin tiny |x|", 1000, 15, flat, ostrell_asin, mpfr_asin,
           [](std::mt19937_64& r) { return test::random_pair(r, -300, -2); });
}

// Near ±1, with the growth measured as err·sqrt(d) (asin; acos near -1) and
// err·d (acos near +1), d = 1 - |x|.
TEST(InverseTrigAccuracy, AsinAcosNearOne)
{
    sweep1("asin 1 - |x| in [2^-100, 2^-4]", 3000, 16, asin_limit, ostrell_asin, mpfr_asin, near_unit);
    sweep1("acos 1 - |x| in [2^-100, 2^-4]", 3000, 16, acos_limit, ostrell_acos, mpfr_acos, near_unit);
    std::mt19937_64 rng(18);
    double asin_growth = 0, acos_pos_growth = 0, acos_neg_growth = 0;
    test::Mp xv(2200), rv(320);
    for (int i = 0; i < 3000; ++i) {
        ostrell_t x = near_unit(rng);
        double d = distance_to_one(x);
        test::Mp::of(xv.v, x);
        mpfr_asin(rv.v, xv.v, MPFR_RNDN);
        asin_growth = std::max(asin_growth, test::scaled_err(ostrell_asin(x), rv.v, 0.0) * std::sqrt(d));
        mpfr_acos(rv.v, xv.v, MPFR_RNDN);
        double e = test::scaled_err(ostrell_acos(x), rv.v, 0.0);
        if (test::hi(x) > 0) acos_pos_growth = std::max(acos_pos_growth, e * d);
        else acos_neg_growth = std::max(acos_neg_growth, e * std::sqrt(d));
    }
    std::printf("  growth near 1: asin err*sqrt(d) <= %.3g, acos(+) err*d <= %.3g, acos(-) err*sqrt(d) <= %.3g\n",
                asin_growth, acos_pos_growth, acos_neg_growth);
}

// All four quadrants with random magnitudes, and both axes with either sign of zero.
TEST(InverseTrigAccuracy, Atan2)
{
    std::mt19937_64 rng(17);
    const char* names[] = {"atan2 quadrants", "atan2 on the x axis", "atan2 on the y axis"};
    for (int kind = 0; kind < 3; ++kind) {
        test::Worst w{names[kind]};
        test::Mp yv(2200), xv(2200), rv(320);
        for (int i = 0; i < 3000; ++i) {
            ostrell_t y = test::random_pair(rng, -30, 30), x = test::random_pair(rng, -30, 30);
            ostrell_t z = (rng() & 1) ? neg_zero : pos_zero;
            if (kind == 1) y = z;
            if (kind == 2) x = z;
            test::Mp::of(yv.v, y);
            test::Mp::of(xv.v, x);
            if (kind == 1) mpfr_set_zero(yv.v, 1); // -0 beside a negative x gives +π here
            mpfr_atan2(rv.v, yv.v, xv.v, MPFR_RNDN);
            double e = test::scaled_err(ostrell_atan2(y, x), rv.v, 0.0);
            std::string a = test::hex(y) + ", " + test::hex(x);
            w.see(e, a);
            EXPECT_LE(e, 8) << "atan2 " << a;
        }
    }
}

} // namespace
