// exp, log and pow: special cases by bits, the reduction split of k, accuracy
// against MPFR per range, and identities.
#include "accuracy.hpp"
#include "ostrell_math.h"

using test::pair;
using test::pair_bits;
using test::same_bits;

extern "C" void c_exp_log_pow(const double* in, double* out);

namespace {
const double inf = HUGE_VAL;
const double exp_max = 709.782712893384;     // 0x40862E42FEFA39EF
const double exp_min = -745.1332191019411;   // 0xC0874910D52D3051
ostrell_t D(double d) { return ostrell_from_double(d); }
ostrell_t NaN() { return pair_bits(0x7FF8000000000000, 0); }

::testing::AssertionResult is_nan0(ostrell_t r)
{
    return same_bits(r, NaN());
}
} // namespace

// ---- special values -------------------------------------------------------

TEST(Exp, SpecialValues)
{
    EXPECT_TRUE(same_bits(ostrell_exp(pair(0.0, 0.0)), pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_exp(pair(-0.0, -0.0)), pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_exp(D(inf)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_exp(D(-inf)), pair(0.0, 0.0)));
    // Any NaN, whatever its sign, payload or low part, gives the library NaN.
    for (uint64_t h : {0x7FF8000000000000ull, 0xFFF8000000000000ull, 0x7FF0000000000001ull, 0x7FF80000DEADBEEFull})
        EXPECT_TRUE(is_nan0(ostrell_exp(pair_bits(h, 0x3FF0000000000000)))) << test::hex(test::from_bits(h));
}

// Only the high part decides the thresholds: at the threshold the normal
// path runs; just beyond it the special result comes even with a low part
// pulling back inside.
TEST(Exp, Thresholds)
{
    double above = std::nextafter(exp_max, inf), below = std::nextafter(exp_min, -inf);
    EXPECT_TRUE(same_bits(ostrell_exp(pair(above, -1e-14)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_exp(pair(below, 1e-14)), pair(0.0, 0.0)));
    ostrell_t top = ostrell_exp(D(exp_max));
    EXPECT_TRUE(std::isfinite(test::hi(top))) << test::hex(top);
    EXPECT_GT(test::hi(top), 1.79e308);
    ostrell_t bottom = ostrell_exp(D(exp_min));
    EXPECT_GE(test::hi(bottom), 0.0) << test::hex(bottom);
    EXPECT_LE(test::hi(bottom), 0x1p-1073) << test::hex(bottom);
}

// k = -1 uses row 15 with m = -1: exp(-ln2/16) = 2^(15/16) / 2.
TEST(Exp, NegativeKUsesFloorDivision)
{
    ostrell_t ln2_16 = _ostrell_from_raw(_ostrell_ln2_16_raw);
    for (int k : {-1, -15, -16, -17, -33, 1, 17}) {
        ostrell_t x = ostrell_mul(D(k), ln2_16);
        int m = (k >= 0) ? k / 16 : -((-k + 15) / 16);
        int i = k - 16 * m;
        ostrell_t want = _ostrell_from_raw(_ostrell_exp_table[i]);
        want = pair(std::ldexp(test::hi(want), m), std::ldexp(test::lo(want), m));
        ostrell_t got = ostrell_exp(x);
        test::Mp w(2200);
        test::Mp::of(w.v, want);
        EXPECT_LT(test::err_units(got, w.v), 8.0) << "k=" << k << " " << test::hex(got) << " want " << test::hex(want);
    }
}

TEST(Log, SpecialValues)
{
    EXPECT_TRUE(same_bits(ostrell_log(pair(1.0, 0.0)), pair(0.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_log(pair(0.0, 0.0)), D(-inf)));
    EXPECT_TRUE(same_bits(ostrell_log(pair(-0.0, 0.0)), D(-inf)));
    EXPECT_TRUE(same_bits(ostrell_log(pair(-0.0, -0.0)), D(-inf)));
    EXPECT_TRUE(same_bits(ostrell_log(pair(0.0, 1e-300)), D(-inf)));  // seed -inf stays
    EXPECT_TRUE(is_nan0(ostrell_log(pair(0.0, -1e-300))));
    EXPECT_TRUE(is_nan0(ostrell_log(D(-1.0))));
    EXPECT_TRUE(is_nan0(ostrell_log(D(-inf))));
    EXPECT_TRUE(is_nan0(ostrell_log(pair_bits(0xFFF8000000000123, 0))));
    EXPECT_TRUE(same_bits(ostrell_log(D(inf)), D(inf)));
}

// The e and 2 stored constants come back to 1 and ln 2.
TEST(Log, OfStoredConstants)
{
    ostrell_t l = ostrell_log(_ostrell_from_raw(_ostrell_e_raw));
    EXPECT_LT(std::fabs(test::hi(l) - 1.0), 1e-31) << test::hex(l);
    test::Mp ln2(300);
    mpfr_const_log2(ln2.v, MPFR_RNDN);
    EXPECT_LT(test::err_units(ostrell_log(D(2.0)), ln2.v), 4.0);
}

TEST(Pow, ZeroExponentGivesOne)
{
    for (double b : {0.0, -0.0, 1.0, -2.0, inf, -inf, 1e-310})
        for (ostrell_t e : {pair(0.0, 0.0), pair(-0.0, 0.0), pair(0.0, -0.0)})
            EXPECT_TRUE(same_bits(ostrell_pow(D(b), e), pair(1.0, 0.0))) << test::hex(b);
    EXPECT_TRUE(same_bits(ostrell_pow(NaN(), D(0.0)), pair(1.0, 0.0)));
}

TEST(Pow, ZeroBaseLadder)
{
    const struct { double b, e; ostrell_t want; } cases[] = {
        {-0.0, 3.0, pair(-0.0, -0.0)}, {-0.0, -3.0, D(-inf)}, {0.0, -3.0, D(inf)},
        {-0.0, 2.0, pair(0.0, 0.0)},   {0.0, -0.5, D(inf)},   {0.0, 3.0, pair(0.0, 0.0)},
        {-0.0, -2.0, D(inf)},          {0.0, NAN, pair(0.0, 0.0)}, {-0.0, NAN, pair(0.0, 0.0)},
        {0.0, -inf, D(inf)},           {-0.0, -inf, D(inf)},  {0.0, inf, pair(0.0, 0.0)},
        {-0.0, inf, pair(0.0, 0.0)},   {-0.0, 1e19 + 2048, pair(0.0, 0.0)},  // beyond 9e18: not odd
    };
    for (const auto& c : cases)
        EXPECT_TRUE(same_bits(ostrell_pow(D(c.b), D(c.e)), c.want)) << test::hex(c.b) << " ^ " << test::hex(c.e);
    // An odd high part with a nonzero low part is not an odd integer.
    EXPECT_TRUE(same_bits(ostrell_pow(D(-0.0), pair(3.0, 1e-20)), pair(0.0, 0.0)));
    // A zero base with a low part of -0 is still zero.
    EXPECT_TRUE(same_bits(ostrell_pow(pair(-0.0, -0.0), D(-3.0)), D(-inf)));
}

TEST(Pow, NegativeBase)
{
    ostrell_t p2 = ostrell_pow(D(2.0), D(3.0));
    EXPECT_TRUE(same_bits(ostrell_pow(D(-2.0), D(3.0)), ostrell_neg(p2)));
    EXPECT_TRUE(same_bits(ostrell_pow(D(-2.0), D(2.0)), ostrell_pow(D(2.0), D(2.0))));
    EXPECT_TRUE(is_nan0(ostrell_pow(D(-8.0), ostrell_div(D(1.0), D(3.0)))));
    EXPECT_TRUE(is_nan0(ostrell_pow(D(-2.0), D(1e19))));
    EXPECT_TRUE(is_nan0(ostrell_pow(D(-2.0), pair(3.0, 1e-20))));
    EXPECT_TRUE(is_nan0(ostrell_pow(D(-2.0), D(inf))));
    EXPECT_TRUE(is_nan0(ostrell_pow(D(-2.0), NaN())));
    // A zero high part with a negative low part is a negative base.
    EXPECT_TRUE(is_nan0(ostrell_pow(pair(0.0, -1e-300), D(0.5))));
    // Largest usable integer: 9e18 is even.
    EXPECT_TRUE(same_bits(ostrell_pow(D(-1.0), D(9e18)), ostrell_pow(D(1.0), D(9e18))));
    EXPECT_TRUE(same_bits(ostrell_pow(D(-inf), D(3.0)), ostrell_neg(ostrell_pow(D(inf), D(3.0)))));
}

TEST(Pow, NaNAndInfiniteOperands)
{
    EXPECT_TRUE(ostrell_isnan(ostrell_pow(D(1.0), NaN())));
    for (double e : {1.0, -1.0, 0.5, inf})
        EXPECT_TRUE(ostrell_isnan(ostrell_pow(NaN(), D(e)))) << e;
    EXPECT_TRUE(same_bits(ostrell_pow(D(inf), D(2.0)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_pow(D(inf), D(-2.0)), pair(0.0, 0.0)));
    EXPECT_TRUE(same_bits(ostrell_pow(D(2.0), D(inf)), D(inf)));
    EXPECT_TRUE(same_bits(ostrell_pow(D(2.0), D(-inf)), pair(0.0, 0.0)));
}

// The C build gives the same bits as the C++ one.
TEST(ExpLogPow, SameBitsFromC)
{
    const double in[4] = {2.5, 1e-17, -1.75, 3e-18};
    double out[6];
    c_exp_log_pow(in, out);
    ostrell_t a = pair(in[0], in[1]), b = pair(in[2], in[3]);
    EXPECT_TRUE(same_bits(pair(out[0], out[1]), ostrell_exp(a)));
    EXPECT_TRUE(same_bits(pair(out[2], out[3]), ostrell_log(a)));
    EXPECT_TRUE(same_bits(pair(out[4], out[5]), ostrell_pow(a, b)));
}

// ---- accuracy ---------------------------------------------------------------

namespace {
using acc::check;
using acc::absolute;
using acc::mixed;

ostrell_t one_plus(std::mt19937_64& r, int sign)
{
    return ostrell_add(D(1.0), acc::log_uniform(-60, -4, sign)(r));
}
} // namespace

// Relative error grows with |x|: the reduction x - k ln2/16 has an absolute
// error of about |x| 2^-104, which is a relative error of e^x.  Bound:
// 2 + 0.6 max|x| units.  Where the low part (or the result) is subnormal only
// the absolute error is meaningful: within 2^-1074.
TEST(Exp, AccuracyAgainstMpfr)
{
    const double sub_ulp = 0x1p-970;  // 2^-1074 in units of 2^-104
    check("exp", ostrell_exp, mpfr_exp,
          {
              {"tiny |x| in [2^-60, 2^-8]", acc::log_uniform(-60, -8, 0), 2},
              {"small [-1, 1]", acc::uniform(-1, 1), 3},
              {"moderate [-20, 20]", acc::uniform(-20, 20), 14},
              {"[-100, 100]", acc::uniform(-100, 100), 62},
              {"large [-670, 700]", acc::uniform(-670, 700), 422},
              {"near overflow [700, 709.78]", acc::uniform(700, exp_max), 428},
              {"low part subnormal [-708.39, -672]", acc::uniform(-708.39, -672), 1024 * sub_ulp, absolute},
              {"result subnormal [-745.13, -708.4]", acc::uniform(exp_min, -708.4), 1.5 * sub_ulp, absolute},
          },
          3000);
}

// log is accurate in absolute terms (the correction's residual x - e^y is
// limited by e^y's relative error), so the measure is the mixed error.  Near
// 1 the relative error grows as ~4e-32 / |x - 1|.  Where e^y loses its low
// part to subnormals, and in the top binade where x + e^y overflows and the
// correction vanishes, only the binary64 seed's accuracy remains (2^53 units).
TEST(Log, AccuracyAgainstMpfr)
{
    check("log", ostrell_log, mpfr_log,
          {
              {"near 1: 1 + [2^-60, 2^-4]", [](std::mt19937_64& r) { return one_plus(r, 1); }, 4, mixed},
              {"near 1: 1 - [2^-60, 2^-4]", [](std::mt19937_64& r) { return one_plus(r, -1); }, 4, mixed},
              {"[0.5, 2]", acc::uniform(0.5, 2), 4, mixed},
              {"moderate [2^-20, 2^20]", acc::log_uniform(-20, 20), 4, mixed},
              {"wide [2^-968, 2^1022]", acc::log_uniform(-968, 1022), 4, mixed},
              {"low part subnormal [2^-1022, 2^-968]", acc::log_uniform(-1022, -968), 0x1p53, mixed},
              {"subnormal [2^-1074, 2^-1022]", [](std::mt19937_64& r) { return D(test::hi(acc::log_uniform(-1074, -1022)(r))); }, 0x1p53, mixed},
              {"top binade [2^1023, DBL_MAX]", acc::log_uniform(1023, 1023.9999), 0x1p53, mixed},
          },
          3000);
}

// pow = exp(e log b): log b has an absolute error of a few units (times |e|
// in the product), and exp adds 2 + 0.6 |e ln b| relative.  Bound:
// 4 + 2 |e| + |e ln b| units.
TEST(Pow, AccuracyAgainstMpfr)
{
    std::mt19937_64 rng(7);
    test::Mp b(2200), e(2200), ref(320);
    double worst = 0, worst_ratio = 0;
    ostrell_t wb = D(0), we = D(0);
    for (int n = 0; n < 3000; ++n) {
        ostrell_t base = acc::log_uniform(-30, 30)(rng);
        ostrell_t ex = acc::uniform(-20, 20)(rng);
        test::Mp::of(b.v, base);
        test::Mp::of(e.v, ex);
        mpfr_pow(ref.v, b.v, e.v, MPFR_RNDN);
        double u = test::err_units(ostrell_pow(base, ex), ref.v);
        double eh = std::fabs(test::hi(ex));
        double bound = 4 + 2 * eh + eh * std::fabs(std::log(test::hi(base)));
        worst = std::max(worst, u);
        if (u / bound > worst_ratio) { worst_ratio = u / bound; wb = base; we = ex; }
        ASSERT_LE(u, bound) << test::hex(base) << " ^ " << test::hex(ex);
    }
    std::printf("  pow   b in [2^-30, 2^30], e in [-20, 20]: max %.4g units; max error / bound %.3g at %s ^ %s\n",
                worst, worst_ratio, test::hex(wb).c_str(), test::hex(we).c_str());
}

// ---- identities ---------------------------------------------------------------

// exp(log x) = x: the absolute error of log x (a few units) becomes a
// relative error of the result; exp adds its own 2 + 0.6 |log x|.
TEST(ExpLog, ExpOfLogGivesBackX)
{
    std::mt19937_64 rng(8);
    for (int n = 0; n < 2000; ++n) {
        ostrell_t x = acc::log_uniform(-900, 1000)(rng);
        double l = std::fabs(std::log(test::hi(x)));
        test::Mp m(2200);
        test::Mp::of(m.v, x);
        ostrell_t y = ostrell_exp(ostrell_log(x));
        ASSERT_LE(test::err_units(y, m.v), 6 + 0.6 * l) << test::hex(x) << " gave " << test::hex(y);
    }
}

// pow(x, n) against the product of n copies of x (each product within a
// couple of units): both within (2 + n ln|x|) + 2n units of x^n.
TEST(Pow, SmallIntegerExponentsMatchRepeatedProducts)
{
    std::mt19937_64 rng(9);
    for (int n = 0; n < 1000; ++n) {
        ostrell_t x = acc::log_uniform(-8, 8, 0)(rng);
        ostrell_t prod = x;
        for (int k = 2; k <= 12; ++k) {
            prod = ostrell_mul(prod, x);
            ostrell_t p = ostrell_pow(x, D(k));
            test::Mp m(2200);
            test::Mp::of(m.v, prod);
            double tol = 2 + k * std::fabs(std::log(std::fabs(test::hi(x)))) + 2 * k;
            ASSERT_LE(test::err_units(p, m.v), tol) << test::hex(x) << " ^ " << k << " gave " << test::hex(p);
            if (k % 2) ASSERT_EQ(std::signbit(test::hi(p)), std::signbit(test::hi(x))) << test::hex(x);
            else ASSERT_GT(test::hi(p), 0.0) << test::hex(x);
        }
    }
}
