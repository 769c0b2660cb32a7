// float128 as a built-in floating type: overloads that resolve as before,
// mixed double operators with the bits of their float128 form, the explicit
// conversion to double, text literals, numeric_limits and streams.
#include <complex>
#include <iomanip>
#include <limits>
#include <sstream>
#include <type_traits>

#include "test_util.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;
using test::same_bits;
using namespace ostrell::literals;

namespace {

template <class A, class B, class = void>
struct can_add : std::false_type {};
template <class A, class B>
struct can_add<A, B, std::void_t<decltype(std::declval<A>() + std::declval<B>())>> : std::true_type {};

// ---- overload resolution, at compile time --------------------------------------

static_assert(std::is_constructible_v<float128, int>);
static_assert(std::is_constructible_v<float128, float>);
static_assert(std::is_constructible_v<float128, __m128d>);
static_assert(std::is_convertible_v<double, float128>);
static_assert(!std::is_constructible_v<float128, const char*>, "no constructor from text");
static_assert(std::is_constructible_v<complex128, double, double>);
static_assert(std::is_constructible_v<complex128, float128, float128>);
static_assert(std::is_convertible_v<std::complex<double>, complex128>);
static_assert(!std::is_convertible_v<double, complex128>, "sin(1.0) stays unambiguous");
// to double only when asked for
static_assert(std::is_constructible_v<double, float128>);
static_assert(!std::is_convertible_v<float128, double>);
static_assert(!std::is_convertible_v<float128, bool>);
static_assert(std::is_same_v<decltype(std::declval<float128>() + 1), float128>);
static_assert(std::is_same_v<decltype(1 + std::declval<float128>()), float128>);
static_assert(std::is_same_v<decltype(2.0 * std::declval<float128>()), float128>);
static_assert(std::is_same_v<decltype(std::declval<float128>() < 1.0), bool>);
static_assert(std::is_same_v<decltype(std::declval<float128>() + std::declval<__m128d>()), float128>);
static_assert(std::is_same_v<decltype(std::declval<float128>() * std::declval<float128>()), float128>);
static_assert(std::is_same_v<decltype(+std::declval<float128>()), float128>);
static_assert(std::is_same_v<decltype(ostrell::sin(1.0)), float128>);
static_assert(std::is_same_v<decltype("0.1"_dd), float128>);
// a std::complex<double> meets a float128 only as a complex128
static_assert(std::is_same_v<decltype(std::declval<float128>() + std::declval<std::complex<double>>()), complex128>);
static_assert(!can_add<__m128d, float128>::value);
static_assert(!can_add<float128, const char*>::value);

ostrell_t v(const float128& x) { return x.data; }

std::string out(const float128& x, std::ios_base& (*f)(std::ios_base&) = nullptr, int prec = 6)
{
    std::ostringstream os;
    os << std::setprecision(prec);
    if (f) os << f;
    os << x;
    return os.str();
}

} // namespace

// ---- the forms that already compiled keep their operation ------------------------

TEST(Float128Builtin, ExistingFormsKeepTheirBits)
{
    EXPECT_TRUE(same_bits(v(float128(0)), test::pair(0.0, 0.0)));
    EXPECT_TRUE(same_bits(v(float128(1.0f)), test::pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(v(float128(test::pair(1.0, 0x1p-60))), test::pair(1.0, 0x1p-60)));
    float128 x(test::pair(3.0, 0x1p-55));
    EXPECT_TRUE(same_bits(v(x + 1), ostrell_add(x.data, ostrell_from_double(1.0))));
    EXPECT_TRUE(same_bits(v(x * 2.0), ostrell_mul(x.data, ostrell_from_double(2.0))));
    EXPECT_TRUE(same_bits(v(x - 7LL), ostrell_sub(x.data, ostrell_from_double(7.0))));
    EXPECT_TRUE(same_bits(v(x / 0.1f), ostrell_div(x.data, ostrell_from_double(double(0.1f)))));
    EXPECT_TRUE(x > 3);
    EXPECT_FALSE(x == 3.0);
}

// ---- mixed double operators: the float128(double) form, bit for bit -------------

TEST(Float128Builtin, MixedDoubleOperatorsAreTheFloat128Operation)
{
    std::mt19937_64 rng(131);
    const double specials[] = {0.0, -0.0, 1.0, HUGE_VAL, -HUGE_VAL, NAN, 0x1p-1074, 0x1.fffffffffffffp+1023};
    for (int i = 0; i < 3000; ++i) {
        float128 x(test::random_pair(rng, -60, 60));
        double d = i < 8 ? specials[i] : test::random_double(rng, -60, 60);
        if (i % 5 == 0) x = float128(test::pair(d, 0.0)); // equal high parts
        float128 fd(d);
        std::string in = test::hex(x.data) + " " + test::hex(d);
        ASSERT_TRUE(same_bits(v(x + d), v(x + fd))) << in;
        ASSERT_TRUE(same_bits(v(x - d), v(x - fd))) << in;
        ASSERT_TRUE(same_bits(v(x * d), v(x * fd))) << in;
        ASSERT_TRUE(same_bits(v(x / d), v(x / fd))) << in;
        ASSERT_TRUE(same_bits(v(d + x), v(fd + x))) << in;
        ASSERT_TRUE(same_bits(v(d - x), v(fd - x))) << in;
        ASSERT_TRUE(same_bits(v(d * x), v(fd * x))) << in;
        ASSERT_TRUE(same_bits(v(d / x), v(fd / x))) << in;
        ASSERT_EQ(x == d, x == fd) << in;
        ASSERT_EQ(x != d, x != fd) << in;
        ASSERT_EQ(x < d, x < fd) << in;
        ASSERT_EQ(x > d, x > fd) << in;
        ASSERT_EQ(x <= d, x <= fd) << in;
        ASSERT_EQ(x >= d, x >= fd) << in;
        ASSERT_EQ(d == x, fd == x) << in;
        ASSERT_EQ(d != x, fd != x) << in;
        ASSERT_EQ(d < x, fd < x) << in;
        ASSERT_EQ(d > x, fd > x) << in;
        ASSERT_EQ(d <= x, fd <= x) << in;
        ASSERT_EQ(d >= x, fd >= x) << in;
    }
}

TEST(Float128Builtin, ExplicitDoubleIsTheHighPartAndUnaryPlusTheValue)
{
    float128 x(test::pair(1.0, -0x1p-60));
    EXPECT_TRUE(same_bits(double(x), 1.0));
    EXPECT_TRUE(same_bits(static_cast<double>(float128(test::pair(-0.0, 0.0))), -0.0));
    EXPECT_TRUE(same_bits(v(+x), x.data));
    EXPECT_TRUE(same_bits(v(+float128(test::pair(NAN, -0.0))), test::pair(NAN, -0.0)));
}

TEST(Float128Builtin, TextLiteralAndFactoryAreTheParser)
{
    const char* texts[] = {"0.1", "-1e-300", "123456789012345678901234567890", "nan", "-inf", "12abc", ""};
    for (const char* t : texts) {
        ostrell_t want = ostrell_from_string(t);
        EXPECT_TRUE(same_bits(v(ostrell::from_string(t)), want)) << t;
        EXPECT_TRUE(same_bits(v(ostrell::from_string(std::string(t))), want)) << t;
    }
    EXPECT_TRUE(same_bits(v("0.1"_dd), ostrell_from_string("0.1")));
}

// ---- numeric_limits --------------------------------------------------------------

TEST(Float128Builtin, NumericLimitsMembers)
{
    using L = std::numeric_limits<float128>;
    static_assert(L::is_specialized && L::is_signed && !L::is_integer && !L::is_exact);
    static_assert(L::has_infinity && L::has_quiet_NaN && L::has_signaling_NaN);
    static_assert(L::has_denorm == std::denorm_present && !L::has_denorm_loss);
    static_assert(L::round_style == std::round_indeterminate);
    static_assert(!L::is_iec559 && L::is_bounded && !L::is_modulo && !L::traps && !L::tinyness_before);
    static_assert(L::digits == 106 && L::digits10 == 31 && L::max_digits10 == 33 && L::radix == 2);
    static_assert(L::min_exponent == -968 && L::min_exponent10 == -291);
    static_assert(L::max_exponent == 1024 && L::max_exponent10 == 308);
    static_assert(std::numeric_limits<const float128>::digits == 106);

    EXPECT_TRUE(same_bits(v(L::epsilon()), test::pair_bits(0x3970000000000000, 0)));
    EXPECT_TRUE(same_bits(v(L::min()), test::pair_bits(0x0360000000000000, 0)));
    EXPECT_TRUE(same_bits(v(L::max()), test::pair_bits(0x7FEFFFFFFFFFFFFF, 0x7C8FFFFFFFFFFFFF)));
    EXPECT_TRUE(same_bits(v(L::lowest()), test::pair_bits(0xFFEFFFFFFFFFFFFF, 0xFC8FFFFFFFFFFFFF)));
    EXPECT_TRUE(same_bits(v(L::round_error()), test::pair(1.0, 0.0)));
    EXPECT_TRUE(same_bits(v(L::infinity()), test::pair_bits(0x7FF0000000000000, 0)));
    EXPECT_TRUE(same_bits(v(L::quiet_NaN()), test::pair_bits(0x7FF8000000000000, 0)));
    EXPECT_TRUE(same_bits(v(L::denorm_min()), test::pair_bits(0x0000000000000001, 0)));
    double s = double(L::signaling_NaN());
    EXPECT_TRUE(std::isnan(s) && !(test::bits(s) & 0x0008000000000000)) << test::hex(s);

    // The exponent fields agree with the values they describe.
    EXPECT_EQ(std::ilogb(double(L::min())), L::min_exponent - 1);
    EXPECT_EQ(std::ilogb(double(L::max())), L::max_exponent - 1);
    EXPECT_GE(double(L::min()), 1e-292);
    EXPECT_LT(double(L::min()), 1e-291);
    // min is where the low part stops being subnormal: half an ulp of 1 at min.
    EXPECT_TRUE(std::isnormal(double(L::min()) * 0x1p-53));
    EXPECT_FALSE(std::isnormal(double(L::min()) * 0x1p-54));
    // epsilon is one unit of the library's error tables: 1 + epsilon is exact.
    EXPECT_TRUE(same_bits(v(float128(1.0) + L::epsilon()), test::pair(1.0, 0x1p-104)));
    EXPECT_TRUE(float128(1.0) + L::epsilon() > 1.0);
}

TEST(Float128Builtin, MaxSurvivesTheKernelOperations)
{
    using L = std::numeric_limits<float128>;
    float128 m = L::max();
    EXPECT_TRUE(same_bits(v(m + 0.0), v(m)));
    EXPECT_TRUE(same_bits(v(m - 0.0), v(m)));
    EXPECT_TRUE(same_bits(v(m * 1.0), v(m)));
    EXPECT_TRUE(same_bits(v(m / 1.0), v(m)));
    EXPECT_TRUE(same_bits(v((m * 0.5) * 2.0), v(m)));
    EXPECT_TRUE(same_bits(v(-m), v(L::lowest())));
    EXPECT_TRUE(same_bits(v(m + m), v(L::infinity())));
    EXPECT_TRUE(m > 0x1.fffffffffffffp+1023);
    EXPECT_TRUE(m < L::infinity());
    // a larger low part overflows when the pair is added to
    float128 over(test::pair(0x1.fffffffffffffp+1023, 0x1p+970));
    EXPECT_FALSE(std::isfinite(double(over + 0.0)));
    EXPECT_TRUE(std::isfinite(double(ostrell::sqrt(m))));
}

// ---- streams ----------------------------------------------------------------------

TEST(Float128Builtin, OutputIsTheFormatterText)
{
    float128 x = "0.1"_dd;
    EXPECT_EQ(out(x), x.to_string()); // default precision 6: to_string's 32 digits
    char buf[128];
    for (int p : {1, 2, 10, 17, 31, 40, 60}) {
        ostrell_to_string_prec(buf, sizeof buf, x.data, p);
        EXPECT_EQ(out(x, nullptr, p), buf) << p;
    }
    ostrell_to_string_prec(buf, sizeof buf, x.data, 1);
    EXPECT_EQ(out(x, nullptr, 0), buf);
    ostrell_to_string_prec(buf, sizeof buf, x.data, 60);
    EXPECT_EQ(out(x, nullptr, 500), buf);
    EXPECT_EQ(out(float128(1e300), std::uppercase, 3), "1.00E+300");
    EXPECT_EQ(out(float128(-HUGE_VAL), std::uppercase), "-INF");
    EXPECT_EQ(out(float128(NAN), std::uppercase), "NAN");
    EXPECT_EQ(out(float128(2.0), std::showpos, 3), "+2.00");
    EXPECT_EQ(out(float128(-2.0), std::showpos, 3), "-2.00");
    EXPECT_EQ(out(float128(HUGE_VAL), std::showpos), "+inf");
}

TEST(Float128Builtin, OutputWidthFillAndAdjustment)
{
    std::ostringstream os;
    os << std::setprecision(3) << std::setfill('*');
    os << '[' << std::setw(8) << float128(-2.0) << ']';
    os << '[' << std::setw(8) << std::left << float128(-2.0) << ']';
    os << '[' << std::setw(8) << std::internal << float128(-2.0) << ']';
    os << '[' << std::setw(8) << std::internal << float128(2.0) << ']';
    os << '[' << std::setw(2) << float128(2.0) << ']' << '[' << float128(2.0) << ']';
    EXPECT_EQ(os.str(), "[***-2.00][-2.00***][-***2.00][****2.00][2.00][2.00]");
}

TEST(Float128Builtin, InputReadsOneTokenWithTheParser)
{
    std::istringstream in("  0.1\t-1.5e-300\n123456789012345678901234567890 +INF Infinity nan .5 7.");
    const char* want[] = {"0.1", "-1.5e-300", "123456789012345678901234567890", "inf", "inf", "nan", ".5", "7."};
    for (const char* w : want) {
        float128 x;
        ASSERT_TRUE(in >> x) << w;
        EXPECT_TRUE(same_bits(v(x), ostrell_from_string(w))) << w;
    }
    float128 x(5.0);
    EXPECT_FALSE(in >> x);
    EXPECT_TRUE(in.eof());
}

TEST(Float128Builtin, InputThatIsNoNumberSetsFailbit)
{
    for (const char* t : {"abc", "12abc", "1e", "1e+", "-", ".", "e5", "0x10", "1,5", "--1", "nanx", "in"}) {
        std::istringstream in(t);
        float128 x(5.0);
        in >> x;
        EXPECT_TRUE(in.fail()) << t;
        EXPECT_TRUE(same_bits(v(x), test::pair(0.0, 0.0))) << t;
    }
    // the next token is still there after a failure and clear()
    std::istringstream in("abc 2");
    float128 x;
    in >> x;
    in.clear();
    EXPECT_TRUE(in >> x);
    EXPECT_TRUE(x == 2.0);
}

TEST(Float128Builtin, TextRoundTripThroughStreams)
{
    std::mt19937_64 rng(17);
    for (int i = 0; i < 500; ++i) {
        float128 x(test::random_pair(rng, -300, 300)), y;
        std::stringstream s;
        s << x;
        ASSERT_TRUE(s >> y) << test::hex(x.data);
        ASSERT_TRUE(same_bits(v(y), ostrell_from_string(x.to_string().c_str()))) << test::hex(x.data);
    }
}
