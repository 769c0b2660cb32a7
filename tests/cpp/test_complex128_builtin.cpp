// complex128 additions: comparison, sign, conjugate, and mixed operands with
// the bits of the promoted complex operation; the stream text; and the forms
// that already compiled keep their operation.
#include <complex>
#include <iomanip>
#include <sstream>
#include <type_traits>

#include "test_complex_util.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;
using test::same_bits;

namespace {

static_assert(std::is_same_v<decltype(std::declval<complex128>() * 2), complex128>);
static_assert(std::is_same_v<decltype(2.0 * std::declval<complex128>()), complex128>);
static_assert(std::is_same_v<decltype(std::declval<float128>() / std::declval<complex128>()), complex128>);
static_assert(std::is_same_v<decltype(std::declval<complex128>() == 1.0), bool>);
static_assert(std::is_same_v<decltype(-std::declval<complex128>()), complex128>);
static_assert(std::is_same_v<decltype(std::declval<complex128>() + std::declval<std::complex<double>>()), complex128>);
static_assert(std::is_same_v<decltype(ostrell::sin(std::declval<complex128>())), complex128>);

ostrell_complex random_complex(std::mt19937_64& rng)
{
    return test::cpair(test::random_pair(rng, -30, 30), test::random_pair(rng, -30, 30));
}

std::string hex(const complex128& z) { return test::hex(z.data.real) + " + i" + test::hex(z.data.imag); }

} // namespace

TEST(Complex128Builtin, ExistingFormsKeepTheirBits)
{
    complex128 a(1.0, 2.0);
    EXPECT_TRUE(same_bits(a.data, test::cpair(test::pair(1.0, 0.0), test::pair(2.0, 0.0))));
    complex128 b(std::complex<double>(-0.0, 3.5));
    EXPECT_TRUE(same_bits(b.data, test::cpair(test::pair(-0.0, 0.0), test::pair(3.5, 0.0))));
    EXPECT_TRUE(same_bits((a + std::complex<double>(0.5, -1.0)).data,
                          ostrell_complex_add(a.data, complex128(0.5, -1.0).data)));
    EXPECT_TRUE(same_bits((a * std::complex<double>(0.5, -1.0)).data,
                          ostrell_complex_mul(a.data, complex128(0.5, -1.0).data)));
}

TEST(Complex128Builtin, MixedOperandsAreThePromotedOperation)
{
    std::mt19937_64 rng(977);
    const double specials[] = {0.0, -0.0, HUGE_VAL, NAN};
    for (int i = 0; i < 2000; ++i) {
        complex128 z(random_complex(rng));
        float128 x(test::random_pair(rng, -30, 30));
        double d = i < 4 ? specials[i] : test::random_double(rng, -30, 30);
        complex128 px(x, float128(0.0)), pd(d, 0.0);
        std::string in = hex(z) + ", " + test::hex(x.data) + ", " + test::hex(d);
        ASSERT_TRUE(same_bits((z + x).data, (z + px).data)) << in;
        ASSERT_TRUE(same_bits((z - x).data, (z - px).data)) << in;
        ASSERT_TRUE(same_bits((z * x).data, (z * px).data)) << in;
        ASSERT_TRUE(same_bits((z / x).data, (z / px).data)) << in;
        ASSERT_TRUE(same_bits((x + z).data, (px + z).data)) << in;
        ASSERT_TRUE(same_bits((x - z).data, (px - z).data)) << in;
        ASSERT_TRUE(same_bits((x * z).data, (px * z).data)) << in;
        ASSERT_TRUE(same_bits((x / z).data, (px / z).data)) << in;
        ASSERT_TRUE(same_bits((z + d).data, (z + pd).data)) << in;
        ASSERT_TRUE(same_bits((z - d).data, (z - pd).data)) << in;
        ASSERT_TRUE(same_bits((z * d).data, (z * pd).data)) << in;
        ASSERT_TRUE(same_bits((z / d).data, (z / pd).data)) << in;
        ASSERT_TRUE(same_bits((d + z).data, (pd + z).data)) << in;
        ASSERT_TRUE(same_bits((d - z).data, (pd - z).data)) << in;
        ASSERT_TRUE(same_bits((d * z).data, (pd * z).data)) << in;
        ASSERT_TRUE(same_bits((d / z).data, (pd / z).data)) << in;
        complex128 c = z;
        c += x; ASSERT_TRUE(same_bits(c.data, (z + px).data)) << in;
        c = z; c -= d; ASSERT_TRUE(same_bits(c.data, (z - pd).data)) << in;
        c = z; c *= x; ASSERT_TRUE(same_bits(c.data, (z * px).data)) << in;
        c = z; c /= d; ASSERT_TRUE(same_bits(c.data, (z / pd).data)) << in;
    }
    // an int operand goes through double, not float128 first: same value either way
    complex128 z(3.0, -4.0);
    EXPECT_TRUE(same_bits((z * 2).data, (z * complex128(2.0, 0.0)).data));
}

TEST(Complex128Builtin, EqualityIsPartwise)
{
    complex128 z(1.0, -2.0);
    EXPECT_TRUE(z == complex128(1.0, -2.0));
    EXPECT_FALSE(z != complex128(1.0, -2.0));
    EXPECT_TRUE(z != complex128(1.0, 2.0));
    EXPECT_TRUE(complex128(0.0, -0.0) == complex128(-0.0, 0.0));
    EXPECT_FALSE(complex128(float128(1.0), float128(test::pair(-2.0, 0x1p-60))) == z);
    complex128 n(1.0, NAN);
    EXPECT_FALSE(n == n);
    EXPECT_TRUE(n != n);
    EXPECT_TRUE(complex128(4.0, 0.0) == 4.0);
    EXPECT_TRUE(4 == complex128(4.0, -0.0));
    EXPECT_TRUE(complex128(4.0, 1e-300) != 4.0);
    EXPECT_TRUE(complex128(0.1, 0.0) == float128(0.1));
    EXPECT_TRUE(float128(0.1) != complex128(0.1, 1.0));
    EXPECT_TRUE(z == std::complex<double>(1.0, -2.0));
}

TEST(Complex128Builtin, SignAndConjugateFlipSignBits)
{
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200; ++i) {
        complex128 z(random_complex(rng));
        ostrell_complex neg = test::cpair(ostrell_neg(z.data.real), ostrell_neg(z.data.imag));
        ASSERT_TRUE(same_bits((-z).data, neg)) << hex(z);
        ASSERT_TRUE(same_bits((+z).data, z.data)) << hex(z);
        ASSERT_TRUE(same_bits(conj(z).data, test::cpair(z.data.real, ostrell_neg(z.data.imag)))) << hex(z);
    }
    EXPECT_TRUE(same_bits(conj(complex128(1.0, 0.0)).data, test::cpair(test::pair(1.0, 0.0), test::pair(-0.0, -0.0))));
}

TEST(Complex128Builtin, StreamTextIsToString)
{
    for (complex128 z : {complex128(1.0, -2.0), complex128(0.1, 0.0), complex128(-1e300, NAN), complex128(0.0, -0.0)}) {
        std::ostringstream os;
        os << z;
        EXPECT_EQ(os.str(), z.to_string()) << hex(z);
    }
    std::ostringstream os;
    os << std::setprecision(3) << std::showpos << std::setw(16) << std::setfill('.') << complex128(2.0, -0.5);
    EXPECT_EQ(os.str(), "...+2.00 - 0.50i"); // the formatter counts the leading 0
}
