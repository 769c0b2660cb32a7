// complex128 and the float128 namespace layer: text, conversions, operators
// bit-identical to the plain layer, constants by bits, and the complex
// functions against MPFR.
#include <functional>

#include "test_complex_util.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;
using test::same_bits;

namespace {

ostrell_complex random_complex(std::mt19937_64& rng, int emin, int emax)
{
    return test::cpair(test::random_pair(rng, emin, emax), test::random_pair(rng, emin, emax));
}

} // namespace

// ---- text --------------------------------------------------------------------

TEST(Complex128Text, SignAndMagnitudeOfImaginaryPart)
{
    std::string one = float128(1.0).to_string(), two = float128(2.0).to_string();
    EXPECT_EQ(complex128(1.0, -2.0).to_string(), one + " - " + two + "i");
    EXPECT_EQ(complex128(1.0, 2.0).to_string(), one + " + " + two + "i");
    // A negative zero is not below zero, and its magnitude prints as +0.
    std::string zero = float128(0.0).to_string();
    EXPECT_EQ(complex128(0.0, -0.0).to_string(), zero + " + " + zero + "i");
    // The low part decides the sign when the high part is zero.
    complex128 tiny(float128(0.0), float128(test::pair(0.0, -1e-300)));
    EXPECT_EQ(tiny.to_string().find(" - "), zero.size()) << tiny.to_string();
}

TEST(Complex128Text, NaNImaginaryPartTakesPlus)
{
    std::string s = complex128(1.0, NAN).to_string();
    EXPECT_NE(s.find(" + "), std::string::npos) << s;
    EXPECT_EQ(s.back(), 'i');
}

// ---- construction and conversion --------------------------------------------

TEST(Complex128Construct, PartsByBits)
{
    complex128 z;
    EXPECT_TRUE(same_bits(z.data, test::cpair(test::pair(0.0, 0.0), test::pair(0.0, 0.0))));
    z = complex128(-0.0, 2.5);
    EXPECT_TRUE(same_bits(z.real().data, test::pair(-0.0, 0.0)));
    EXPECT_TRUE(same_bits(z.imag().data, test::pair(2.5, 0.0)));
    // float128 parts are taken unchanged, even unnormalised.
    z = complex128(float128(test::pair(1.0, 1.0)), float128(test::pair(-3.0, 1e-17)));
    EXPECT_TRUE(same_bits(z.real().data, test::pair(1.0, 1.0)));
    EXPECT_TRUE(same_bits(z.imag().data, test::pair(-3.0, 1e-17)));
}

TEST(Complex128Construct, StdComplexBothWays)
{
    complex128 z = std::complex<double>(1.5, -0.0);
    EXPECT_TRUE(same_bits(z.real().data, test::pair(1.5, 0.0)));
    EXPECT_TRUE(same_bits(z.imag().data, test::pair(-0.0, 0.0)));
    // Each part rounds to hi + lo.
    std::complex<double> c = complex128(float128(test::pair(1.0, 0x1p-52)), float128(test::pair(-2.0, -0x1p-60)));
    EXPECT_TRUE(same_bits(c.real(), 1.0 + 0x1p-52));
    EXPECT_TRUE(same_bits(c.imag(), -2.0));
}

// ---- operators forward to the plain layer ------------------------------------

TEST(Complex128Ops, BitIdenticalToPlain)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 500; ++i) {
        ostrell_complex a = random_complex(rng, -30, 30), b = random_complex(rng, -30, 30);
        complex128 x(a), y(b);
        ASSERT_TRUE(same_bits((x + y).data, ostrell_complex_add(a, b)));
        ASSERT_TRUE(same_bits((x - y).data, ostrell_complex_sub(a, b)));
        ASSERT_TRUE(same_bits((x * y).data, ostrell_complex_mul(a, b)));
        ASSERT_TRUE(same_bits((x / y).data, ostrell_complex_div(a, b)));
        complex128 t = x;
        ASSERT_TRUE(same_bits((t += y).data, ostrell_complex_add(a, b)));
        ASSERT_TRUE(same_bits((t -= y).data, ostrell_complex_sub(ostrell_complex_add(a, b), b)));
        t = x;
        ASSERT_TRUE(same_bits((t *= y).data, ostrell_complex_mul(a, b)));
        t = x;
        ASSERT_TRUE(same_bits((t /= y).data, ostrell_complex_div(a, b)));
        ASSERT_TRUE(same_bits(ostrell::abs(x).data, ostrell_complex_abs(a)));
        ASSERT_TRUE(same_bits(ostrell::abs_sqr(x).data, ostrell_complex_abs_sqr(a)));
    }
}

TEST(Complex128Ops, AbsOfThreeFourIAndRoundTrip)
{
    EXPECT_TRUE(same_bits(ostrell::abs(complex128(3.0, 4.0)).data, test::pair(5.0, 0.0)));
    complex128 a(float128(1.0) / float128(3.0), float128(-2.0) / float128(7.0));
    complex128 b(float128(5.0) / float128(11.0), float128(13.0) / float128(17.0));
    complex128 q = (a * b) / b;
    test::Cmp ref(a.data);
    EXPECT_LT(test::cerr_units(q.data, ref), 8.0) << test::chex(q.data);
}

// ---- float128 namespace functions and constants ------------------------------

TEST(NamespaceFunctions, BitIdenticalToPlain)
{
    using F1 = std::function<float128(float128)>;
    using P1 = ostrell_t (*)(ostrell_t);
    struct One { const char* name; F1 f; P1 p; };
    const One ones[] = {
        {"exp", [](float128 x) { return ostrell::exp(x); }, ostrell_exp},
        {"log", [](float128 x) { return ostrell::log(x); }, ostrell_log},
        {"sin", [](float128 x) { return ostrell::sin(x); }, ostrell_sin},
        {"cos", [](float128 x) { return ostrell::cos(x); }, ostrell_cos},
        {"tan", [](float128 x) { return ostrell::tan(x); }, ostrell_tan},
        {"atan", [](float128 x) { return ostrell::atan(x); }, ostrell_atan},
        {"asin", [](float128 x) { return ostrell::asin(x); }, ostrell_asin},
        {"acos", [](float128 x) { return ostrell::acos(x); }, ostrell_acos},
        {"sinh", [](float128 x) { return ostrell::sinh(x); }, ostrell_sinh},
        {"cosh", [](float128 x) { return ostrell::cosh(x); }, ostrell_cosh},
        {"tanh", [](float128 x) { return ostrell::tanh(x); }, ostrell_tanh},
        {"sqrt", [](float128 x) { return ostrell::sqrt(x); }, ostrell_sqrt},
        {"abs", [](float128 x) { return ostrell::abs(x); }, ostrell_abs},
        {"floor", [](float128 x) { return ostrell::floor(x); }, ostrell_floor},
        {"ceil", [](float128 x) { return ostrell::ceil(x); }, ostrell_ceil},
        {"trunc", [](float128 x) { return ostrell::trunc(x); }, ostrell_trunc},
        {"round", [](float128 x) { return ostrell::round(x); }, ostrell_round},
    };
    std::mt19937_64 rng(11);
    for (int i = 0; i < 200; ++i) {
        ostrell_t x = test::random_pair(rng, -4, 4), y = test::random_pair(rng, -4, 4);
        for (const One& o : ones)
            ASSERT_TRUE(same_bits(o.f(float128(x)).data, o.p(x))) << o.name << " " << test::hex(x);
        ASSERT_TRUE(same_bits(ostrell::pow(float128(ostrell_abs(x)), float128(y)).data,
                              ostrell_pow(ostrell_abs(x), y)));
        ASSERT_TRUE(same_bits(ostrell::atan2(float128(y), float128(x)).data, ostrell_atan2(y, x)));
        ASSERT_TRUE(same_bits(ostrell::fmod(float128(x), float128(y)).data, ostrell_fmod(x, y)));
    }
    EXPECT_TRUE(ostrell::isnan(float128(test::pair(NAN, 0.0))));
    EXPECT_FALSE(ostrell::isnan(float128(test::pair(1.0, NAN))));
    EXPECT_TRUE(ostrell::isinf(float128(test::pair(-INFINITY, 0.0))));
    EXPECT_FALSE(ostrell::isinf(float128(test::pair(NAN, 0.0))));
    EXPECT_TRUE(same_bits(ostrell::abs(float128(test::pair(-0.0, -1e-300))).data, test::pair(0.0, 1e-300)));
}

TEST(NamespaceConstants, Bits)
{
    EXPECT_TRUE(same_bits(ostrell::pi.data, test::pair_bits(0x400921FB54442D18, 0x3CA1A62633145C07)));
    EXPECT_TRUE(same_bits(ostrell::e.data, test::pair_bits(0x4005BF0A8B145769, 0x3CA4D57EE2B1013A)));
    EXPECT_TRUE(same_bits(ostrell::sqrt2.data, test::pair_bits(0x3FF6A09E667F3BCD, 0xBC9BDD3413B26456)));
    EXPECT_TRUE(same_bits(ostrell::ln2.data, test::pair_bits(0x3FE62E42FEFA39EF, 0x3C7ABC9E3B39803F)));
    EXPECT_EQ(ostrell::pi.to_string(), "3.1415926535897932384626433832795");
    EXPECT_EQ(ostrell::e.to_string(), "2.7182818284590452353602874713526");
    EXPECT_EQ(ostrell::sqrt2.to_string(), "1.4142135623730950488016887242096");
    EXPECT_EQ(ostrell::ln2.to_string(), "0.6931471805599453094172321214581");
}

// ---- complex functions -------------------------------------------------------

TEST(ComplexFunctions, CosImaginaryPartNegatesSineFirst)
{
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200; ++i) {
        complex128 z(random_complex(rng, -3, 3));
        float128 x = z.real(), y = z.imag();
        ASSERT_TRUE(same_bits(ostrell::cos(z).imag().data, (-(ostrell::sin(x) * ostrell::sinh(y))).data))
            << test::chex(z.data);
    }
    // With y = +0 the product (-sin 1) * (+0, +0) is (+0, +0), where the
    // negated product would be (-0, -0): the forms differ in the zero only.
    float128 im = ostrell::cos(complex128(1.0, 0.0)).imag();
    EXPECT_TRUE(same_bits(im.data, test::pair(0.0, 0.0)));
}

TEST(ComplexFunctions, TanOfRealArgumentIsRealTan)
{
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200; ++i) {
        ostrell_t x = test::random_pair(rng, -6, 3);
        complex128 t = ostrell::tan(complex128(float128(x), float128(0.0)));
        test::Mp ref(600);
        test::Mp::of(ref.v, x);
        mpfr_tan(ref.v, ref.v, MPFR_RNDN);
        ASSERT_LT(test::err_units(t.real().data, ref.v), 64.0) << test::hex(x);
        ASSERT_EQ(test::hi(t.imag().data), 0.0) << test::hex(x);
    }
}

namespace {

// MPFR reference of the complex circular and hyperbolic functions from the
// real ones: the same identities, each term to 600 bits.
enum class Fn { sin, cos, tan, sinh, cosh, tanh };

void reference(Fn f, const ostrell_complex& z, test::Cmp& out)
{
    constexpr mpfr_prec_t p = test::Cmp::prec;
    test::Mp x(p), y(p), sx(p), cx(p), shy(p), chy(p);
    test::Mp::of(x.v, z.real);
    test::Mp::of(y.v, z.imag);
    if (f == Fn::sinh || f == Fn::cosh || f == Fn::tanh) mpfr_swap(x.v, y.v);
    // now x is the circular argument, y the hyperbolic one
    mpfr_sin_cos(sx.v, cx.v, x.v, MPFR_RNDN);
    mpfr_sinh_cosh(shy.v, chy.v, y.v, MPFR_RNDN);
    test::Cmp s, c;  // sin(x + iy), cos(x + iy)
    mpfr_mul(s.re.v, sx.v, chy.v, MPFR_RNDN);
    mpfr_mul(s.im.v, cx.v, shy.v, MPFR_RNDN);
    mpfr_mul(c.re.v, cx.v, chy.v, MPFR_RNDN);
    mpfr_mul(c.im.v, sx.v, shy.v, MPFR_RNDN);
    mpfr_neg(c.im.v, c.im.v, MPFR_RNDN);
    switch (f) {
    case Fn::sin: mpfr_set(out.re.v, s.re.v, MPFR_RNDN); mpfr_set(out.im.v, s.im.v, MPFR_RNDN); break;
    case Fn::cos: mpfr_set(out.re.v, c.re.v, MPFR_RNDN); mpfr_set(out.im.v, c.im.v, MPFR_RNDN); break;
    case Fn::tan: out.div(s, c); break;
    // sinh(x + iy) = sinh x cos y + i cosh x sin y: with the arguments swapped
    // above these are s.im + i s.re and c.re - i c.im.
    case Fn::sinh: mpfr_set(out.re.v, s.im.v, MPFR_RNDN); mpfr_set(out.im.v, s.re.v, MPFR_RNDN); break;
    case Fn::cosh: mpfr_set(out.re.v, c.re.v, MPFR_RNDN); mpfr_neg(out.im.v, c.im.v, MPFR_RNDN); break;
    case Fn::tanh: {
        test::Cmp sh, ch;
        mpfr_set(sh.re.v, s.im.v, MPFR_RNDN); mpfr_set(sh.im.v, s.re.v, MPFR_RNDN);
        mpfr_set(ch.re.v, c.re.v, MPFR_RNDN); mpfr_neg(ch.im.v, c.im.v, MPFR_RNDN);
        out.div(sh, ch);
        break;
    }
    }
}

} // namespace

namespace {

// Error of a real function at x against MPFR, in units of 2^-104.
double real_err(ostrell_t (*f)(ostrell_t), int (*ref)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t), ostrell_t x)
{
    test::Mp m(test::Cmp::prec);
    test::Mp::of(m.v, x);
    ref(m.v, m.v, MPFR_RNDN);
    return test::err_units(f(x), m.v);
}

bool is_hyperbolic(Fn f) { return f == Fn::sinh || f == Fn::cosh || f == Fn::tanh; }

// What the real factors allow: a part's relative error is at most the sum of
// its two factors' errors, the normwise error at most the larger of the two
// parts', and a quotient's normwise error the sum of numerator's and
// denominator's.
double factor_bound(Fn f, const ostrell_complex& z)
{
    ostrell_t circ = is_hyperbolic(f) ? z.imag : z.real, hyp = is_hyperbolic(f) ? z.real : z.imag;
    double e_sin = real_err(ostrell_sin, mpfr_sin, circ), e_cos = real_err(ostrell_cos, mpfr_cos, circ);
    double e_sh = real_err(ostrell_sinh, mpfr_sinh, hyp), e_ch = real_err(ostrell_cosh, mpfr_cosh, hyp);
    double odd = std::max(e_sin + e_ch, e_cos + e_sh);   // sin, sinh
    double even = std::max(e_cos + e_ch, e_sin + e_sh);  // cos, cosh
    switch (f) {
    case Fn::sin: case Fn::sinh: return odd;
    case Fn::cos: case Fn::cosh: return even;
    default: return odd + even;
    }
}

} // namespace

// The complex functions add only a few units to the error of the real
// functions they are built from (which grows where sinh cancels, above the
// series range near 1e-4).
TEST(ComplexFunctions, AgainstMpfr)
{
    struct F { const char* name; Fn f; complex128 (*g)(const complex128&); };
    const F fns[] = {
        {"sin", Fn::sin, ostrell::sin},   {"cos", Fn::cos, ostrell::cos},   {"tan", Fn::tan, ostrell::tan},
        {"sinh", Fn::sinh, ostrell::sinh}, {"cosh", Fn::cosh, ostrell::cosh}, {"tanh", Fn::tanh, ostrell::tanh},
    };
    struct Range { const char* name; int emin, emax; };
    const Range ranges[] = {{"tiny", -40, -14}, {"small", -13, -4}, {"moderate", -4, 3}, {"large", 3, 6}};
    std::mt19937_64 rng(20240612);
    std::printf("max normwise error, units of 2^-104 (in brackets: excess over the real factors' errors)\n");
    for (const F& f : fns) {
        std::printf("%-5s", f.name);
        for (const Range& r : ranges) {
            double worst = 0, excess = 0;
            for (int i = 0; i < 1000; ++i) {
                ostrell_complex z = random_complex(rng, r.emin, r.emax);
                test::Cmp ref;
                reference(f.f, z, ref);
                double e = test::cerr_units(f.g(complex128(z)).data, ref);
                double bound = factor_bound(f.f, z);
                worst = std::max(worst, e);
                excess = std::max(excess, e - bound);
                ASSERT_LT(e, bound + 8.0) << f.name << " " << test::chex(z) << " real factors allow " << bound;
            }
            std::printf("  %s %.1f [%.1f]", r.name, worst, excess);
        }
        std::printf("\n");
    }
}
