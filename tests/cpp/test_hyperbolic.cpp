// sinh, cosh, tanh: special arguments by bits, the series threshold, the
// decided limits where the exponential or its reciprocal leaves the range,
// accuracy against MPFR per range, and symmetry.
#include "accuracy.hpp"
#include "ostrell_math.h"

using test::pair;
using test::pair_bits;
using test::same_bits;

namespace {
const double inf = HUGE_VAL;
const double exp_max = 709.782712893384;    // 0x40862E42FEFA39EF
const double exp_min = -745.1332191019411;  // 0xC0874910D52D3051
ostrell_t D(double d) { return ostrell_from_double(d); }
} // namespace

TEST(Hyperbolic, NaNComesBackUnchanged)
{
    for (ostrell_t x : {pair_bits(0x7FF8000000000000, 0), pair_bits(0xFFF8000000000000, 0x3FF0000000000000),
                        pair_bits(0x7FF0000000000123, 0xBC90000000000000)}) {
        EXPECT_TRUE(same_bits(ostrell_sinh(x), x));
        EXPECT_TRUE(same_bits(ostrell_cosh(x), x));
        EXPECT_TRUE(same_bits(ostrell_tanh(x), x));
    }
}

TEST(Hyperbolic, Infinities)
{
    EXPECT_TRUE(same_bits(ostrell_sinh(pair(inf, 5.0)), pair(inf, 5.0)));
    EXPECT_TRUE(same_bits(ostrell_sinh(pair(-inf, 0.0)), pair(-inf, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_cosh(pair(-inf, 5.0)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_cosh(pair(inf, 5.0)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_tanh(pair(inf, 5.0)), D(1.0)));
    EXPECT_TRUE(same_bits(ostrell_tanh(pair(-inf, 5.0)), D(-1.0)));
}

TEST(Hyperbolic, Zero)
{
    EXPECT_TRUE(same_bits(ostrell_cosh(D(0.0)), D(1.0)));
    EXPECT_TRUE(same_bits(ostrell_sinh(D(0.0)), D(0.0)));
    EXPECT_TRUE(same_bits(ostrell_tanh(D(0.0)), D(0.0)));
    EXPECT_EQ(test::hi(ostrell_sinh(pair(-0.0, -0.0))), 0.0);
    EXPECT_EQ(test::hi(ostrell_tanh(pair(-0.0, -0.0))), 0.0);
}

// |hi| = 0.0001 exactly takes the exponential branch, anything smaller the
// series; both branches agree across the threshold to ~1e-27 (the series is
// truncated after x^5, the exponential branch cancels 1 against e^x).
TEST(Hyperbolic, SeriesThreshold)
{
    const double t = 0.0001;  // 0x3F1A36E2EB1C432D
    for (double h : {t, -t}) {
        ostrell_t x = D(h), ex = ostrell_exp(x), emx = ostrell_div(D(1.0), ex);
        EXPECT_TRUE(same_bits(ostrell_sinh(x), ostrell_mul(ostrell_sub(ex, emx), D(0.5))));
        EXPECT_TRUE(same_bits(ostrell_tanh(x), ostrell_div(ostrell_sub(ex, emx), ostrell_add(ex, emx))));
        ostrell_t below = D(std::nextafter(h, 0.0));
        ostrell_t x2 = ostrell_mul(below, below), x3 = ostrell_mul(x2, below), x5 = ostrell_mul(x3, x2);
        ostrell_t s = ostrell_add(ostrell_add(below, ostrell_div(x3, D(6.0))), ostrell_div(x5, D(120.0)));
        EXPECT_TRUE(same_bits(ostrell_sinh(below), s));
        double gap = test::hi(ostrell_sub(ostrell_sinh(x), ostrell_sinh(below))) / h;
        EXPECT_LT(std::fabs(gap), 1e-12);  // the two branches meet
    }
}

// In the series branch both functions are exactly odd.
TEST(Hyperbolic, SeriesBranchIsExactlyOdd)
{
    std::mt19937_64 rng(11);
    for (int n = 0; n < 2000; ++n) {
        ostrell_t x = acc::log_uniform(-80, -13.3, 0)(rng);
        ASSERT_TRUE(same_bits(ostrell_sinh(ostrell_neg(x)), ostrell_neg(ostrell_sinh(x)))) << test::hex(x);
        ASSERT_TRUE(same_bits(ostrell_tanh(ostrell_neg(x)), ostrell_neg(ostrell_tanh(x)))) << test::hex(x);
    }
}

// Where e^x underflows towards zero and 1/e^x overflows (-745.13 <= hi <
// -709.78), and below: sinh is (-inf, +0), cosh (+inf, +0).  Above 709.78
// both are (+inf, +0).
TEST(Hyperbolic, SinhCoshBeyondTheExponentialRange)
{
    std::mt19937_64 rng(12);
    std::vector<double> his = {exp_min, std::nextafter(exp_max, 0.0) * -1.0, std::nextafter(-exp_max, -inf), -720.0,
                               -745.0, std::nextafter(exp_min, -inf), -1000.0, -1e300};
    std::uniform_real_distribution<double> u(exp_min, -exp_max);
    for (int n = 0; n < 500; ++n) his.push_back(u(rng));
    for (double h : his) {
        if (!(h < -exp_max)) continue;
        for (double l : {0.0, 1e-14, -1e-14}) {
            ostrell_t x = pair(h, l);
            ASSERT_TRUE(same_bits(ostrell_sinh(x), D(-inf))) << test::hex(x);
            ASSERT_TRUE(same_bits(ostrell_cosh(x), D(inf))) << test::hex(x);
        }
    }
    for (double h : {std::nextafter(exp_max, inf), 710.0, 1e300}) {
        EXPECT_TRUE(same_bits(ostrell_sinh(D(h)), D(inf))) << test::hex(h);
        EXPECT_TRUE(same_bits(ostrell_cosh(D(h)), D(inf))) << test::hex(h);
    }
    // At -709.782712893384 itself both are still finite.
    EXPECT_TRUE(std::isfinite(test::hi(ostrell_sinh(D(-exp_max)))));
    EXPECT_TRUE(std::isfinite(test::hi(ostrell_cosh(D(-exp_max)))));
}

// tanh is +-1 where e^x or 1/e^x exceeds ~1.34e300 (691.4 < |hi| <= 709.78)
// and beyond, never NaN and never beyond 1 in magnitude.
TEST(Hyperbolic, TanhSaturates)
{
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> u(691.4, exp_max);
    std::vector<double> his = {691.40000000000001, exp_max, 700.0, 710.0, 745.2, 800.0, 1e300};
    for (int n = 0; n < 1000; ++n) his.push_back(u(rng));
    for (double h : his) {
        for (double s : {1.0, -1.0}) {
            for (double l : {0.0, 1e-14, -1e-14}) {
                ostrell_t x = pair(s * h, l), t = ostrell_tanh(x);
                ASSERT_EQ(test::hi(t), s) << test::hex(x) << " gave " << test::hex(t);
                ASSERT_FALSE(test::lo(t) * s > 0) << test::hex(x) << " gave " << test::hex(t);
            }
        }
    }
    EXPECT_TRUE(same_bits(ostrell_tanh(D(800.0)), D(1.0)));
    EXPECT_TRUE(same_bits(ostrell_tanh(D(-800.0)), D(-1.0)));
}

// ---- accuracy ---------------------------------------------------------------
// Each bound is about twice the largest error seen; the comments say why the
// error grows where it does.

// sinh and tanh lose accuracy on both sides of the series threshold 1e-4:
// below it the series stops at x^5 (relative truncation x^6/5040 for sinh,
// 17 x^6/315 for tanh), above it e^x - 1/e^x cancels (an absolute error of
// ~2^-104 becomes ~0.3/|x| units relative).  For large |x| the error of e^x
// (2 + 0.6|x| units) carries over.  For x below -672 the low part of e^x is
// subnormal and 1/e^x keeps only its precision: binary64 accuracy near -708.
TEST(Sinh, AccuracyAgainstMpfr)
{
    acc::check("sinh", ostrell_sinh, mpfr_sinh,
               {
                   {"series |x| in [2^-60, 2^-20]", acc::log_uniform(-60, -20, 0), 1},
                   {"series |x| in [2^-20, 1e-4)", acc::log_uniform(-20, -13.3, 0), 8000},
                   {"|x| in [1e-4, 1e-2]", acc::log_uniform(-13.29, -6.65, 0), 8000},
                   {"|x| in [1e-2, 1]", acc::log_uniform(-6.65, 0, 0), 100},
                   {"|x| in [1, 20]", acc::uniform(1, 20), 14},
                   {"|x| in [20, 670]", acc::uniform(20, 670), 404},
                   {"near overflow [670, 709.78]", acc::uniform(670, exp_max), 428},
                   {"[-670, -20]", acc::uniform(-670, -20), 404},
                   {"e^x low part subnormal [-708.39, -672]", acc::uniform(-708.39, -672), 0x1p53},
                   {"e^x subnormal [-709.78, -708.4]", acc::uniform(-exp_max, -708.4), 0x1p55},
               },
               3000);
}

TEST(Cosh, AccuracyAgainstMpfr)
{
    acc::check("cosh", ostrell_cosh, mpfr_cosh,
               {
                   {"tiny |x| in [2^-60, 1e-2]", acc::log_uniform(-60, -6.65, 0), 1},
                   {"[-1, 1]", acc::uniform(-1, 1), 2},
                   {"[-20, 20]", acc::uniform(-20, 20), 14},
                   {"[-670, 670]", acc::uniform(-670, 670), 404},
                   {"near overflow [670, 709.78]", acc::uniform(670, exp_max), 428},
                   {"e^x low part subnormal [-708.39, -672]", acc::uniform(-708.39, -672), 0x1p53},
                   {"e^x subnormal [-709.78, -708.4]", acc::uniform(-exp_max, -708.4), 0x1p55},
               },
               3000);
}

TEST(Tanh, AccuracyAgainstMpfr)
{
    acc::check("tanh", ostrell_tanh, mpfr_tanh,
               {
                   {"series |x| in [2^-60, 2^-20]", acc::log_uniform(-60, -20, 0), 1},
                   {"series |x| in [2^-20, 1e-4)", acc::log_uniform(-20, -13.3, 0), 2e6},
                   {"|x| in [1e-4, 1e-2]", acc::log_uniform(-13.29, -6.65, 0), 8000},
                   {"|x| in [1e-2, 1]", acc::log_uniform(-6.65, 0, 0), 100},
                   {"|x| in [1, 20]", acc::uniform(1, 20), 3},
                   {"|x| in [20, 691.4]", acc::log_uniform(4.3219, 9.4334, 0), 3},
                   {"saturated [691.4, 709.78]", acc::uniform(691.4, exp_max), 0},
               },
               3000);
}

// ---- symmetry -----------------------------------------------------------------
// Outside the series branch e^-x is not exactly 1/e^x, so sinh(-x) and
// -sinh(x) may differ in the last bits; each is within the bound above
// (2 + 0.6|x| + 1/|x| units, the last term for the cancellation at small x),
// so they agree to twice that.
TEST(Hyperbolic, SinhOddCoshEven)
{
    std::mt19937_64 rng(14);
    for (int n = 0; n < 2000; ++n) {
        ostrell_t x = acc::log_uniform(-6.64, 9.38)(rng);  // [0.01, 666]
        double h = test::hi(x), tol = 2 * (2 + 0.6 * h + 1 / h);
        test::Mp m(2200);
        ostrell_t s = ostrell_sinh(x), c = ostrell_cosh(x);
        test::Mp::of(m.v, ostrell_neg(s));
        ASSERT_LE(test::err_units(ostrell_sinh(ostrell_neg(x)), m.v), tol) << test::hex(x);
        test::Mp::of(m.v, c);
        ASSERT_LE(test::err_units(ostrell_cosh(ostrell_neg(x)), m.v), tol) << test::hex(x);
    }
}
