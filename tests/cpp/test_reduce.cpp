// ostrell_reduce.h: every path gives the bits of the baseline path, the sums
// stay within the documented bound of the exact (MPFR) sum on cancelling
// data, and infinities, NaN and overflow give the documented results.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "ostrell_reduce.h"
#include "test_util.hpp"

extern "C" void c_reductions(int isa, const double* x, const double* a, const double* b, size_t n,
                             double* out);

namespace {

using test::hex;
using test::same_bits;

const ostrell_isa kPaths[] = {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512};
const char* path_name(ostrell_isa isa)
{
    return isa == OSTRELL_ISA_AVX512 ? "avx512" : isa == OSTRELL_ISA_AVX2 ? "avx2" : "sse2";
}

// Lengths around the lane count and the dot product's piece size.
const size_t kLengths[] = {0, 1, 2, 7, 15, 16, 17, 31, 33, 255, 256, 257, 1000, 4099};

// Terms over 2^[-60, 60], each also with the opposite sign slightly
// perturbed, shuffled: the sum cancels to a small fraction of sum |x|.
std::vector<double> cancelling(std::mt19937_64& rng, size_t n)
{
    std::vector<double> x;
    std::uniform_real_distribution<double> tweak(-0x1p-40, 0x1p-40);
    while (x.size() + 1 < n) {
        double v = test::random_double(rng, -60, 60);
        x.push_back(v);
        x.push_back(-v * (1.0 + tweak(rng)));
    }
    if (x.size() < n) x.push_back(test::random_double(rng, -60, 60));
    std::shuffle(x.begin(), x.end(), rng);
    return x;
}

// Normalised rows with the given high parts.
std::vector<double> rows_of(std::mt19937_64& rng, const std::vector<double>& hi)
{
    std::vector<double> r;
    for (double h : hi) {
        ostrell_t p = test::with_random_low(rng, h);
        r.push_back(test::hi(p));
        r.push_back(test::lo(p));
    }
    return r;
}

std::string first_values(const double* x, size_t count)
{
    std::string s;
    for (size_t i = 0; i < std::min<size_t>(count, 8); ++i) s += hex(x[i]) + " ";
    return s;
}

// The documented bound (3 m + 48) u^2 * abs_sum, m = ceil(n / 16), in MPFR.
void expect_within_bound(ostrell_t got, const mpfr_t exact, const mpfr_t abs_sum, size_t n,
                         double extra_u2 = 0.0)
{
    const double m = double((n + 15) / 16);
    test::Mp err, bound;
    test::Mp::of(err.v, got);
    mpfr_sub(err.v, err.v, exact, MPFR_RNDN);
    mpfr_abs(err.v, err.v, MPFR_RNDN);
    mpfr_mul_d(bound.v, abs_sum, 3 * m + 48 + extra_u2, MPFR_RNDN);
    mpfr_mul_2si(bound.v, bound.v, -106, MPFR_RNDN);
    EXPECT_LE(mpfr_cmp(err.v, bound.v), 0)
        << "n " << n << " got " << hex(got) << " exact " << mpfr_get_d(exact, MPFR_RNDN)
        << " error " << mpfr_get_d(err.v, MPFR_RNDN) << " bound " << mpfr_get_d(bound.v, MPFR_RNDN);
}

} // namespace

// ---- the same bits on every path --------------------------------------------

TEST(Reduce, EveryPathGivesTheBaselineBits)
{
    std::mt19937_64 rng(1);
    for (size_t n : kLengths) {
        std::vector<double> x = cancelling(rng, n), a = rows_of(rng, cancelling(rng, n)),
                            b = rows_of(rng, x);
        ostrell_t sum_f64 = ostrell_sum_f64_isa(OSTRELL_ISA_SSE2, x.data(), n);
        ostrell_t sum_rows = ostrell_sum_rows_isa(OSTRELL_ISA_SSE2, a.data(), n);
        ostrell_t dot = ostrell_dot_rows_isa(OSTRELL_ISA_SSE2, a.data(), b.data(), n);
        for (ostrell_isa isa : kPaths) {
            if (!ostrell_isa_supported(isa)) continue;
            double c[6];  // the same path called from C
            c_reductions(isa, x.data(), a.data(), b.data(), n, c);
            EXPECT_TRUE(same_bits(test::pair(c[0], c[1]), sum_f64)) << path_name(isa) << " C sum_f64 n " << n;
            EXPECT_TRUE(same_bits(test::pair(c[2], c[3]), sum_rows)) << path_name(isa) << " C sum_rows n " << n;
            EXPECT_TRUE(same_bits(test::pair(c[4], c[5]), dot)) << path_name(isa) << " C dot_rows n " << n;
            EXPECT_TRUE(same_bits(ostrell_sum_f64_isa(isa, x.data(), n), sum_f64))
                << path_name(isa) << " sum_f64 n " << n << ": " << first_values(x.data(), n);
            EXPECT_TRUE(same_bits(ostrell_sum_rows_isa(isa, a.data(), n), sum_rows))
                << path_name(isa) << " sum_rows n " << n << ": " << first_values(a.data(), 2 * n);
            EXPECT_TRUE(same_bits(ostrell_dot_rows_isa(isa, a.data(), b.data(), n), dot))
                << path_name(isa) << " dot_rows n " << n;
        }
        EXPECT_TRUE(same_bits(ostrell_sum_f64(x.data(), n), sum_f64));
    }
}

// ---- accuracy against MPFR ------------------------------------------------------

TEST(Reduce, SumsWithinTheBoundOnCancellingData)
{
    std::mt19937_64 rng(3);
    for (size_t n : {size_t(1), size_t(17), size_t(1000), size_t(100000)}) {
        std::vector<double> x = cancelling(rng, n);
        std::vector<double> r = rows_of(rng, x);
        test::Mp exact_f64, abs_f64, exact_rows, abs_rows;
        for (size_t i = 0; i < n; ++i) {
            mpfr_add_d(exact_f64.v, exact_f64.v, x[i], MPFR_RNDN);
            mpfr_add_d(abs_f64.v, abs_f64.v, std::fabs(x[i]), MPFR_RNDN);
            for (int k = 0; k < 2; ++k) {
                mpfr_add_d(exact_rows.v, exact_rows.v, r[2 * i + k], MPFR_RNDN);
                mpfr_add_d(abs_rows.v, abs_rows.v, std::fabs(r[2 * i + k]), MPFR_RNDN);
            }
        }
        expect_within_bound(ostrell_sum_f64(x.data(), n), exact_f64.v, abs_f64.v, n);
        expect_within_bound(ostrell_sum_rows(r.data(), n), exact_rows.v, abs_rows.v, n);
    }
}

TEST(Reduce, DotWithinTheBoundOnCancellingProducts)
{
    std::mt19937_64 rng(4);
    for (size_t n : {size_t(5), size_t(300), size_t(20000)}) {
        std::vector<double> a = rows_of(rng, cancelling(rng, n)), b;
        std::uniform_real_distribution<double> scale(0.5, 2.0);
        std::vector<double> bh;
        for (size_t i = 0; i < n; ++i) bh.push_back(scale(rng));
        b = rows_of(rng, bh);
        test::Mp exact, abs_sum, pa, pb;
        for (size_t i = 0; i < n; ++i) {
            test::Mp::of(pa.v, test::pair(a[2 * i], a[2 * i + 1]));
            test::Mp::of(pb.v, test::pair(b[2 * i], b[2 * i + 1]));
            mpfr_mul(pa.v, pa.v, pb.v, MPFR_RNDN);
            mpfr_add(exact.v, exact.v, pa.v, MPFR_RNDN);
            mpfr_abs(pa.v, pa.v, MPFR_RNDN);
            mpfr_add(abs_sum.v, abs_sum.v, pa.v, MPFR_RNDN);
        }
        // ostrell_mul's own error, at most 4 u^2 per product, comes on top
        expect_within_bound(ostrell_dot_rows(a.data(), b.data(), n), exact.v, abs_sum.v, n, 4.0);
    }
}

TEST(Reduce, ExactWhereNothingRounds)
{
    std::vector<double> x;
    for (int i = 1; i <= 100000; ++i) x.push_back(double(i));
    x.push_back(0x1p-70);
    EXPECT_TRUE(same_bits(ostrell_sum_f64(x.data(), x.size()), test::pair(5000050000.0, 0x1p-70)));
    double y[] = {0x1p+60, 1.0, -0x1p+60, 0x1p-60};
    EXPECT_TRUE(same_bits(ostrell_sum_f64(y, 4), test::pair(1.0, 0x1p-60)));
}

// ---- special values ----------------------------------------------------------------

TEST(Reduce, InfinitiesNanAndOverflow)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    struct Case { std::vector<double> x; double want; } cases[] = {
        {{}, 0.0}, {{-0.0, -0.0}, 0.0}, {{1.0, inf, 2.0}, inf}, {{-inf, 1.0}, -inf},
        {{inf, -inf}, nan}, {{1.0, nan}, nan}, {{1e308, 1e308}, inf},
        {std::vector<double>(40, -1e308), -inf},
        // an overflow inside one lane, the opposite infinity in another: NaN
        {{1e308, -inf, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1e308}, nan},
    };
    for (const Case& c : cases) {
        std::vector<double> r, ones;
        for (double v : c.x) { r.push_back(v); r.push_back(0.0); ones.push_back(1.0); ones.push_back(0.0); }
        for (ostrell_isa isa : kPaths) {
            if (!ostrell_isa_supported(isa)) continue;
            ostrell_t got[3] = {ostrell_sum_f64_isa(isa, c.x.data(), c.x.size()),
                                ostrell_sum_rows_isa(isa, r.data(), c.x.size()),
                                ostrell_dot_rows_isa(isa, r.data(), ones.data(), c.x.size())};
            for (ostrell_t g : got) {
                if (std::isnan(c.want))
                    EXPECT_TRUE(std::isnan(test::hi(g))) << path_name(isa) << " " << first_values(c.x.data(), c.x.size()) << hex(g);
                else
                    EXPECT_TRUE(same_bits(g, test::pair(c.want, 0.0)))
                        << path_name(isa) << " " << first_values(c.x.data(), c.x.size());
            }
        }
    }
    // A NaN or infinite low part is not lost behind finite high parts.
    double r[] = {1.0, 0.0, 2.0, nan, 3.0, 0.0};
    EXPECT_TRUE(std::isnan(test::hi(ostrell_sum_rows(r, 3))));
    double s[] = {1.0, 0.0, 2.0, -inf, 3.0, 0.0};
    EXPECT_TRUE(same_bits(ostrell_sum_rows(s, 3), test::pair(-inf, 0.0)));
}
