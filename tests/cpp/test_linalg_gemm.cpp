// The matrix product on every path this CPU has, one and two threads, against
// the scalar left fold bit for bit: odd shapes around the tile and block
// sizes, leading dimensions wider than the rows, accumulation, and entries
// that send elements to the scalar path (NaN, infinities, overflowing
// products, factors above the product's pre-scaling bound).
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ostrell_linalg.h"
#include "test_util.hpp"

namespace {

using test::hex;
// A NaN part only has to be a NaN in the same part (its sign and payload
// follow the compiler's operand order).
using test::same_bits_or_nan;

struct Mat {
    size_t rows, cols, ld;
    std::vector<double> v;
    Mat(size_t r, size_t c, size_t pad = 0) : rows(r), cols(c), ld(c + pad), v(2 * r * (c + pad) + 2) {}
    ostrell_t at(size_t i, size_t j) const { return _mm_loadu_pd(&v[2 * (i * ld + j)]); }
    void set(size_t i, size_t j, ostrell_t x) { _mm_storeu_pd(&v[2 * (i * ld + j)], x); }
};

// Random normalised values of magnitude about 2^-8 .. 2^8, and with
// probability `special` one of the values below.
void fill(Mat& m, std::mt19937_64& rng, double special)
{
    static const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, 1e300, -7e299, 1e-310,
                                      0x1.fffffffffffffp+1023};
    std::uniform_real_distribution<double> u(-1.0, 1.0), e(-8, 8), p(0, 1);
    for (size_t i = 0; i < m.rows; ++i)
        for (size_t j = 0; j < m.cols; ++j) {
            double hi = std::ldexp(u(rng), (int)e(rng)), lo;
            if (p(rng) < special)
                hi = specials[rng() % (sizeof specials / sizeof specials[0])];
            lo = std::isfinite(hi) && std::fabs(hi) < 1e300 ? hi * 0x1p-53 * u(rng) : 0.0;
            m.set(i, j, ostrell_from_hi_lo(hi, lo));
        }
    for (size_t i = 0; i < m.rows; ++i)  // the padding: garbage the product must not read
        for (size_t j = m.cols; j < m.ld; ++j)
            m.set(i, j, ostrell_from_hi_lo(NAN, NAN));
}

ostrell_t fold(const Mat& a, const Mat& b, size_t i, size_t j, ostrell_t acc)
{
    for (size_t k = 0; k < a.cols; ++k)
        acc = ostrell_add(acc, ostrell_mul(a.at(i, k), b.at(k, j)));
    return acc;
}

std::vector<ostrell_isa> paths()
{
    std::vector<ostrell_isa> p;
    for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512})
        if (ostrell_isa_supported(isa))
            p.push_back(isa);
    return p;
}

void check(size_t m, size_t n, size_t k, double special, int accumulate, unsigned threads,
           uint64_t seed)
{
    std::mt19937_64 rng(seed);
    Mat a(m, k, 3), b(k, n, 1), c0(m, n, 2);
    fill(a, rng, special);
    fill(b, rng, special);
    fill(c0, rng, special);
    for (ostrell_isa isa : paths()) {
        Mat c = c0;
        ASSERT_EQ(0, ostrell_gemm_isa(isa, threads, accumulate, m, n, k, a.v.data(), a.ld,
                                      b.v.data(), b.ld, c.v.data(), c.ld));
        for (size_t i = 0; i < m; ++i) {
            for (size_t j = 0; j < n; ++j) {
                ostrell_t want = fold(a, b, i, j, accumulate ? c0.at(i, j) : _mm_setzero_pd());
                ASSERT_TRUE(same_bits_or_nan(c.at(i, j), want))
                    << "isa " << isa << " threads " << threads << " m n k " << m << " " << n
                    << " " << k << " at " << i << "," << j << " start " << hex(c0.at(i, j))
                    << " a_i0 " << (k ? hex(a.at(i, 0)) : "") << " b_0j "
                    << (k ? hex(b.at(0, j)) : "");
            }
            for (size_t j = n; j < c.ld; ++j)  // padding untouched
                ASSERT_TRUE(same_bits_or_nan(c.at(i, j), c0.at(i, j)));
        }
    }
}

TEST(Gemm, OddShapesEveryPathBitForBit)
{
    const size_t sizes[] = {0, 1, 7, 33};
    uint64_t seed = 1;
    for (size_t m : sizes)
        for (size_t n : sizes)
            for (size_t k : sizes)
                for (int acc = 0; acc < 2; ++acc)
                    check(m, n, k, 0.0, acc, 1, seed++);
    check(257, 33, 300, 0.0, 0, 1, seed++);  // k over one block of steps
    check(5, 257, 7, 0.0, 1, 1, seed++);     // n over one block of columns
    check(130, 140, 260, 0.0, 1, 2, seed++); // two threads
}

TEST(Gemm, SpecialEntriesTakeTheScalarFold)
{
    uint64_t seed = 100;
    for (double special : {0.002, 0.02, 0.3})
        for (int acc = 0; acc < 2; ++acc)
            check(19, 37, 29, special, acc, 1, seed++);
    // Cancellation to exact zeros: signs of zero as the fold gives them.
    Mat a(3, 2), b(2, 9), c(3, 9);
    for (size_t j = 0; j < 9; ++j) {
        b.set(0, j, ostrell_from_double(j % 2 ? -1.0 : 1.0));
        b.set(1, j, ostrell_from_double(j % 3 ? 1.0 : -0.0));
    }
    for (size_t i = 0; i < 3; ++i) {
        a.set(i, 0, ostrell_from_double(i ? -0.0 : 2.0));
        a.set(i, 1, ostrell_from_double(i == 1 ? 2.0 : -0.0));
    }
    for (ostrell_isa isa : paths()) {
        ASSERT_EQ(0, ostrell_gemm_isa(isa, 1, 0, 3, 9, 2, a.v.data(), a.ld, b.v.data(), b.ld,
                                      c.v.data(), c.ld));
        for (size_t i = 0; i < 3; ++i)
            for (size_t j = 0; j < 9; ++j)
                ASSERT_TRUE(test::same_bits(c.at(i, j), fold(a, b, i, j, _mm_setzero_pd())));
    }
}

TEST(Gemm, RejectsNarrowLeadingDimensions)
{
    std::vector<double> x(64);
    EXPECT_EQ(OSTRELL_LINALG_EINVAL, ostrell_gemm(0, 2, 2, 3, x.data(), 2, x.data(), 2, x.data(), 2));
    EXPECT_EQ(OSTRELL_LINALG_EINVAL, ostrell_gemm(0, 2, 3, 2, x.data(), 2, x.data(), 2, x.data(), 3));
}

}  // namespace
