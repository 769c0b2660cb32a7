// Exact decimal text from C and C++: the snprintf contract of ostrell_format,
// ostrell_parse's end pointer and errors, to_chars / from_chars, and the
// stream's std::fixed / std::scientific against printf of the same double
// (glibc prints the exact binary value correctly rounded).  Digit accuracy
// against rational arithmetic is in tests/python/test_numpy_text.py.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ostrell_charconv.hpp"
#include "ostrell_stream.hpp"
#include "ostrell_text.h"
#include "test_util.hpp"

namespace {

std::string fmt(ostrell_t x, int digits)
{
    char buf[2048];
    ostrell_format(buf, sizeof buf, x, digits);
    return buf;
}

// Parses all of s; the pair, or a pair of NaNs when s is not a number as a whole.
ostrell_t parse_all(const std::string& s, int* status = nullptr)
{
    ostrell_t v = test::pair(NAN, NAN);
    const char* end;
    int r = ostrell_parse(s.data(), s.data() + s.size(), &v, &end);
    if (status) *status = r;
    return end == s.data() + s.size() ? v : test::pair(NAN, NAN);
}

} // namespace

TEST(Text, FormatWritesAtMostSizeAndReturnsTheWholeLength)
{
    const ostrell_t values[] = {test::pair(0x1.8p-1000, 0x1p-1060), test::pair(1.0, 0.0), test::pair(-0.0, 0.0),
                                test::pair(NAN, 0.0), test::pair(1e300, 1e283)};
    for (ostrell_t x : values)
        for (int digits : {0, 1, 34, 900}) {
            const std::string whole = fmt(x, digits);
            ASSERT_EQ(ostrell_format(nullptr, 0, x, digits), whole.size()) << test::hex(x);
            for (size_t size = 0; size <= whole.size() + 1; size += size < 40 ? 1 : 97) {
                std::vector<char> buf(size + 8, '#');
                size_t n = ostrell_format(buf.data(), size, x, digits);
                ASSERT_EQ(n, whole.size()) << test::hex(x) << " size " << size;
                for (size_t i = size; i < buf.size(); ++i) ASSERT_EQ(buf[i], '#') << test::hex(x) << " size " << size;
                if (size) {
                    const size_t k = std::min(size - 1, whole.size());
                    ASSERT_EQ(std::string(buf.data(), k), whole.substr(0, k));
                    ASSERT_EQ(buf[k], '\0');
                }
            }
        }
    EXPECT_EQ(fmt(test::pair(1.0, 0.0), 1500).size(), 1501u); // zero-padded past every exact digit
}

TEST(Text, ParseEndPointerStatusAndUntouchedValue)
{
    struct { const char* text; size_t used; int status; double hi, lo; } cases[] = {
        {"12abc", 2, 0, 12.0, 0.0},      {"1e5x", 3, 0, 1e5, 0.0},        {"1e+", 1, 0, 1.0, 0.0},
        {"-.5e-1,", 6, 0, -0.05, 2.7755575615628915e-18}, {"+inf;", 4, 0, HUGE_VAL, 0.0},
        {"Infinity", 8, 0, HUGE_VAL, 0.0}, {"infin", 3, 0, HUGE_VAL, 0.0}, {"1e400", 5, OSTRELL_PARSE_RANGE, HUGE_VAL, 0.0},
        {"-1e-400", 7, OSTRELL_PARSE_RANGE, -0.0, 0.0}, {"1e-310", 6, OSTRELL_PARSE_RANGE, 1e-310, 0.0},
        {"2.5e-310", 8, OSTRELL_PARSE_RANGE, 2.5e-310, 0.0}, {"0x1p3", 1, 0, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        ostrell_t v;
        const char* end;
        const size_t len = std::strlen(c.text);
        EXPECT_EQ(ostrell_parse(c.text, c.text + len, &v, &end), c.status) << c.text;
        EXPECT_EQ(size_t(end - c.text), c.used) << c.text;
        EXPECT_TRUE(test::same_bits(v, test::pair(c.hi, c.lo))) << c.text;
    }
    // 5e-324 is held exactly, so no underflow; 2^-1074 * 1.5 is not.
    int status;
    parse_all(fmt(test::pair(0x1p-1074, 0.0), 800), &status);
    EXPECT_EQ(status, 0);
    parse_all("7.4e-324", &status);
    EXPECT_EQ(status, OSTRELL_PARSE_RANGE);

    // No number: INVALID, *end = first, the value untouched; the text needs no NUL.
    for (const char* bad : {"", "-", ".", "e5", "-e5", "+.e1", "na"}) {
        ostrell_t v = test::pair(7.0, 0.0);
        const char* end = nullptr;
        const size_t len = std::strlen(bad);
        EXPECT_EQ(ostrell_parse(bad, bad + len, &v, &end), OSTRELL_PARSE_INVALID) << bad;
        EXPECT_EQ(end, bad) << bad;
        EXPECT_TRUE(test::same_bits(v, test::pair(7.0, 0.0))) << bad;
    }
    const char digits[3] = {'1', '2', '3'};
    EXPECT_TRUE(test::same_bits(parse_all(std::string(digits, 2)), test::pair(12.0, 0.0)));
}

TEST(Text, CharconvResultsAndErrors)
{
    using ostrell::float128;
    char buf[64];
    const float128 x(test::pair(0.1, -0x1.9p-58));
    auto r = ostrell::to_chars(buf, buf + sizeof buf, x);
    ASSERT_EQ(r.ec, std::errc{});
    const std::string shortest(buf, r.ptr);
    EXPECT_EQ(shortest, fmt(x.data, 0));
    EXPECT_EQ(ostrell::to_chars(buf, buf + shortest.size(), x).ptr, buf + shortest.size()); // fits exactly, no NUL
    r = ostrell::to_chars(buf, buf + shortest.size() - 1, x);
    EXPECT_EQ(r.ec, std::errc::value_too_large);
    EXPECT_EQ(r.ptr, buf + shortest.size() - 1);
    r = ostrell::to_chars(buf, buf + sizeof buf, x, 5);
    EXPECT_EQ(std::string(buf, r.ptr), "0.10000");

    float128 y(2.0);
    auto p = ostrell::from_chars(shortest.data(), shortest.data() + shortest.size(), y);
    EXPECT_EQ(p.ec, std::errc{});
    EXPECT_TRUE(test::same_bits(y.data, x.data));
    const char* bad = "x1";
    p = ostrell::from_chars(bad, bad + 2, y);
    EXPECT_EQ(p.ec, std::errc::invalid_argument);
    EXPECT_EQ(p.ptr, bad);
    const char* big = "-1e999 ";
    p = ostrell::from_chars(big, big + 7, y);
    EXPECT_EQ(p.ec, std::errc::result_out_of_range);
    EXPECT_EQ(p.ptr, big + 6);
    EXPECT_TRUE(test::same_bits(y.data, x.data)); // unchanged, as std::from_chars leaves it
}

TEST(Text, StreamFixedAndScientificRoundLikePrintfOfDouble)
{
    std::mt19937_64 rng(18);
    std::vector<double> values = {1234.5678, 0.5, 1.5, 2.5, 0.125, 0.0, -0.0, 9.995, 1e22, 1e-320, 5e-324,
                                  1.7976931348623157e308, 999.9999999, -0.000123456789};
    for (int i = 0; i < 150; ++i) values.push_back(test::random_double(rng, -80, 80));
    for (double d : values)
        for (int prec : {0, 1, 2, 3, 6, 10, 17, 25, 60}) {
            for (bool point : {false, true}) {
                char want[2048];
                std::ostringstream f, e;
                if (point) f << std::showpoint, e << std::showpoint;
                f << std::fixed << std::setprecision(prec) << ostrell::float128(d);
                e << std::scientific << std::setprecision(prec) << ostrell::float128(d);
                std::snprintf(want, sizeof want, point ? "%#.*f" : "%.*f", prec, d);
                EXPECT_EQ(f.str(), want) << test::hex(d) << " prec " << prec;
                std::snprintf(want, sizeof want, point ? "%#.*e" : "%.*e", prec, d);
                EXPECT_EQ(e.str(), want) << test::hex(d) << " prec " << prec;
            }
        }
    // The low part counts: 1 + 2^-60 = 1.000000000000000000867...
    std::ostringstream os;
    os << std::fixed << std::setprecision(20) << ostrell::float128(test::pair(1.0, 0x1p-60)) << ' '
       << std::scientific << std::uppercase << std::setprecision(3) << ostrell::float128(test::pair(-1e300, -1e283))
       << ' ' << std::defaultfloat << std::setprecision(6) << ostrell::float128(0.1);
    char ref[128];
    ostrell_to_string(ref, sizeof ref, ostrell_from_double(0.1));
    EXPECT_EQ(os.str(), std::string("1.00000000000000000087 -1.000E+300 ") + ref);
}

TEST(Text, ShortestRoundTripsThroughCharconv)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 3000; ++i) {
        const ostrell_t x = i % 3 ? test::random_pair(rng, -1020, 1020) : ostrell_from_double(test::random_double(rng, -300, 300));
        const std::string s = fmt(x, 0);
        ASSERT_TRUE(test::same_bits(parse_all(s), x)) << test::hex(x) << " " << s;
    }
}
