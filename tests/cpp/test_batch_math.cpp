// Batch forms of the real functions against the scalar functions, bit for
// bit, on every path this CPU has: random rows over each function's range,
// the edges where the scalar code changes branch, special values in either
// part, unnormalised pairs; then lengths, misaligned pointers and out == x.
// A NaN result part only has to be NaN in the batch result too; every other
// part is compared by bits.
#include <cfloat>
#include <cmath>
#include <functional>
#include <vector>

#include "test_util.hpp"
#include "ostrell_batch.h"

extern "C" int c_batch_math(int isa, const char* name, const double* a, const double* b, double* out,
                            size_t n);

namespace {

using Rng = std::mt19937_64;
using test::same_part;
using Unary = void (*)(ostrell_isa, const double*, double*, size_t);
using Binary = void (*)(ostrell_isa, const double*, const double*, double*, size_t);
using Hi = std::function<double(Rng&)>;

const size_t kRows = 200000;

// ---- argument rows ---------------------------------------------------------

double uniform(Rng& rng, double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
double signed_(Rng& rng, double d) { return (rng() & 1) ? -d : d; }

// p moved by up to 16 ulps either way.
double near(Rng& rng, double p)
{
    double d = p;
    int k = int(rng() % 33) - 16;
    for (; k > 0; --k) d = std::nextafter(d, INFINITY);
    for (; k < 0; ++k) d = std::nextafter(d, -INFINITY);
    return d;
}

// A low part for h: mostly the normalised random one, else zero of either
// sign, a mildly unnormalised one (2^-59 to 2^-30 of h), and in 1 row of 96
// a wild one (up to 2^8 |h|, any magnitude, non-finite).  A zero h mostly
// gets a non-zero low part.
double low_for(Rng& rng, double h)
{
    unsigned c = unsigned(rng() % 192);
    bool finite = std::isfinite(h) && h != 0.0;
    if (c < 2) {
        const double odd[] = {INFINITY, -INFINITY, NAN, DBL_MAX, -DBL_MIN, 0x1p-1074};
        if (finite && (rng() & 1)) return signed_(rng, std::ldexp(uniform(rng, 1.0, 2.0), std::ilogb(h) - int(rng() % 16) + 8));
        return (rng() & 1) ? test::random_double(rng, -1074, 1023) : odd[rng() % 6];
    }
    if (c < 17) return (rng() & 1) ? -0.0 : 0.0;
    if (h == 0.0) return test::random_double(rng, -1074, 10); // the value is all in the low part
    if (c < 29 && finite) return signed_(rng, std::ldexp(uniform(rng, 1.0, 2.0), std::ilogb(h) - 30 - int(rng() % 30)));
    return test::lo(test::with_random_low(rng, h));
}

// Row with a special high part: zeros, infinities, NaN, the extremes.
double special_hi(Rng& rng)
{
    const double s[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, -NAN, DBL_MAX, -DBL_MAX,
                        DBL_MIN, -DBL_MIN, 0x1p-1074, -0x1p-1074, 1.0, -1.0};
    return s[rng() % (sizeof s / sizeof s[0])];
}

// n rows in runs of 1 to 128 from one source each, so that blocks (up to 32
// rows) within a run of in-range edges still take the vector path; in 1 row
// of 96 a special high part, in another 1 of 96 the negated source value
// (sources of one-sided functions are positive); low parts as low_for.
// Irregular rows are sparse, so many blocks hold exactly one.
std::vector<double> rows(Rng& rng, const std::vector<Hi>& sources, size_t n)
{
    std::vector<double> v(2 * n);
    size_t run = 0, src = 0;
    for (size_t i = 0; i < n; ++i, --run) {
        if (run == 0) {
            run = 1 + rng() % 128;
            src = rng() % sources.size();
        }
        unsigned c = unsigned(rng() % 96);
        double h = c == 0 ? special_hi(rng) : c == 1 ? -sources[src](rng) : sources[src](rng);
        v[2 * i] = h;
        v[2 * i + 1] = low_for(rng, h);
    }
    return v;
}

Hi any_exponent(int emin, int emax)
{
    return [=](Rng& r) { return test::random_double(r, emin, emax); };
}
Hi interval(double a, double b)
{
    return [=](Rng& r) { return uniform(r, a, b); };
}
Hi edges(std::vector<double> points)
{
    return [=](Rng& r) { return near(r, points[r() % points.size()]); };
}
Hi positive(Hi h)
{
    return [=](Rng& r) { return std::fabs(h(r)); };
}

const double ln2 = 0x1.62e42fefa39efp-1;
const double pi_2 = 0x1.921fb54442d18p+0;

// Where the scalar exp changes branch: the overflow and underflow cut-offs,
// the ends of the normal range of 2^m, ties of round(16 x / ln 2).
const std::vector<Hi> exp_src = {
    interval(-750.0, 712.0), interval(-1.0, 1.0), any_exponent(-1074, 10),
    edges({0x1.62e42fefa39efp+9, -0x1.74910d52d3051p+9, 1023 * ln2, 1024 * ln2, -1022 * ln2,
           -1021 * ln2, -1074 * ln2, -1075 * ln2, 0.0}),
    [](Rng& r) { return signed_(r, (double(r() % 16000) + 0.5) * (ln2 / 16)); },
};
const std::vector<Hi> log_src = {
    positive(any_exponent(-1074, 1023)), interval(0.0, 4.0),
    [](Rng& r) { return 1.0 + signed_(r, std::ldexp(1.0, -int(r() % 60))); },
    edges({1.0, DBL_MIN, DBL_MAX, 0x1p-1074, 0x1p-1022 - 0x1p-1074}),
};
const std::vector<Hi> sqrt_src = {
    positive(any_exponent(-1074, 1023)), interval(0.0, 100.0),
    edges({DBL_MAX, 6.7e299, 1.34e300, DBL_MIN, 0x1p-1074, 1.0}),
};
// Trigonometric: small and large arguments, multiples of π/2, both sides of
// 2^52·π/2 (the two-part quotient) and of 9e18 (the fold into [0, 2π)).
const std::vector<Hi> trig_src = {
    interval(-10.0, 10.0), any_exponent(-1074, 62), any_exponent(63, 1023),
    [](Rng& r) { return double(int64_t(r() % 2000001) - 1000000) * pi_2; },
    [](Rng& r) { return signed_(r, 0x1p52 * pi_2 * (1.0 + uniform(r, -1e-3, 1e-3))); },
    [](Rng& r) { return signed_(r, 9e18 * (1.0 + uniform(r, -1e-3, 1e-3))); },
    edges({0x1p52 * pi_2, -0x1p52 * pi_2, 0x1.f399b1438a1p+62, -0x1.f399b1438a1p+62}),
};
const std::vector<Hi> hyp_src = {
    interval(-750.0, 750.0), interval(-3.0, 3.0), any_exponent(-1074, 10),
    edges({1e-4, -1e-4, 0x1.62e42fefa39efp+9, -0x1.62e42fefa39efp+9}),
};
const std::vector<Hi> atan_src = {any_exponent(-1074, 1023), interval(-2.0, 2.0), edges({1.0, -1.0})};
const std::vector<Hi> unit_src = {interval(-1.0, 1.0), any_exponent(-1074, 0), edges({1.0, -1.0, 0.0})};
const std::vector<Hi> rounding_src = {
    any_exponent(-3, 60), interval(-10.0, 10.0),
    [](Rng& r) { return double(int64_t(r() % 200001) - 100000) * 0.5; },
    [](Rng& r) { return signed_(r, 0.0); },
    edges({0x1p52, -0x1p52, 0x1p53, 0.5, -0.5}),
};
// pow: bases of both signs (a negative one needs an integral exponent, whose
// parity decides the sign; from 9e18 on the scalar gives NaN).  Moderate
// sources are listed twice so that many blocks stay in range.
const Hi pow_int = [](Rng& r) { return double(int64_t(r() % 41) - 20); };
const std::vector<Hi> pow_base_src = {
    positive(any_exponent(-20, 20)), positive(any_exponent(-20, 20)), positive(any_exponent(-20, 20)),
    interval(0.0, 4.0), interval(-4.0, 0.0), positive(any_exponent(-1074, 1023)),
    edges({1.0, -1.0, 2.0, -2.0, 0.5}),
};
const std::vector<Hi> pow_exp_src = {
    interval(-20.0, 20.0), interval(-20.0, 20.0), pow_int, pow_int, pow_int, any_exponent(-1074, 3),
    any_exponent(4, 1023), edges({0x1.f399b1438a1p+62, -0x1.f399b1438a1p+62, 0x1p53, -0x1p53}),
};

// ---- comparison ------------------------------------------------------------

// Counts rows of got that differ from want; reports the first few with the
// argument bits.
struct Mismatches {
    size_t count = 0;
    std::string first;
    void check(const char* what, size_t i, const double* got, const double* want, const double* a,
               const double* b)
    {
        if (same_part(got[2 * i], want[2 * i]) && same_part(got[2 * i + 1], want[2 * i + 1])) return;
        if (count++ < 5) {
            first += std::string("\n  ") + what + " row " + std::to_string(i) + " x = " +
                     test::hex(test::pair(a[2 * i], a[2 * i + 1]));
            if (b) first += " y = " + test::hex(test::pair(b[2 * i], b[2 * i + 1]));
            first += " got " + test::hex(test::pair(got[2 * i], got[2 * i + 1])) + " want " +
                     test::hex(test::pair(want[2 * i], want[2 * i + 1]));
        }
    }
};

// ---- the functions ---------------------------------------------------------

struct Fn {
    const char* name;
    Unary batch1;
    ostrell_t (*scalar1)(ostrell_t);
    Binary batch2;
    ostrell_t (*scalar2)(ostrell_t, ostrell_t);
    const std::vector<Hi>* src_a;
    const std::vector<Hi>* src_b;
};

void sincos_as_sin(ostrell_isa isa, const double* x, double* out, size_t n);
ostrell_t sin_of_sincos(ostrell_t x);
void sincos_as_cos(ostrell_isa isa, const double* x, double* out, size_t n);
ostrell_t cos_of_sincos(ostrell_t x);

#define U(name, src) Fn{#name, ostrell_batch_##name##_isa, ostrell_##name, nullptr, nullptr, &src, nullptr}
#define B(name, sa, sb) Fn{#name, nullptr, nullptr, ostrell_batch_##name##_isa, ostrell_##name, &sa, &sb}
const Fn fns[] = {
    U(sqrt, sqrt_src), U(exp, exp_src), U(log, log_src), B(pow, pow_base_src, pow_exp_src),
    U(sin, trig_src), U(cos, trig_src), U(tan, trig_src),
    Fn{"sincos_s", sincos_as_sin, sin_of_sincos, nullptr, nullptr, &trig_src, nullptr},
    Fn{"sincos_c", sincos_as_cos, cos_of_sincos, nullptr, nullptr, &trig_src, nullptr},
    U(sinh, hyp_src), U(cosh, hyp_src), U(tanh, hyp_src), U(atan, atan_src),
    B(atan2, atan_src, atan_src), U(asin, unit_src), U(acos, unit_src),
    U(floor, rounding_src), U(ceil, rounding_src), U(trunc, rounding_src), U(round, rounding_src),
    B(fmod, rounding_src, atan_src),
};
#undef U
#undef B

// sincos seen as two unary functions: each half checked against ostrell_sincos,
// the other output written to scratch.
void sincos_half(ostrell_isa isa, const double* x, double* out, size_t n, bool want_sin)
{
    std::vector<double> other(2 * n + 2);
    if (want_sin)
        ostrell_batch_sincos_isa(isa, x, out, other.data(), n);
    else
        ostrell_batch_sincos_isa(isa, x, other.data(), out, n);
}
void sincos_as_sin(ostrell_isa isa, const double* x, double* out, size_t n) { sincos_half(isa, x, out, n, true); }
void sincos_as_cos(ostrell_isa isa, const double* x, double* out, size_t n) { sincos_half(isa, x, out, n, false); }
ostrell_t sin_of_sincos(ostrell_t x) { ostrell_t s, c; ostrell_sincos(x, &s, &c); return s; }
ostrell_t cos_of_sincos(ostrell_t x) { ostrell_t s, c; ostrell_sincos(x, &s, &c); return c; }

void scalar_rows(const Fn& f, const double* a, const double* b, double* out, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        ostrell_t x = test::pair(a[2 * i], a[2 * i + 1]);
        ostrell_t r = f.scalar1 ? f.scalar1(x) : f.scalar2(x, test::pair(b[2 * i], b[2 * i + 1]));
        ostrell_extract(r, &out[2 * i], &out[2 * i + 1]);
    }
}

void batch_rows(const Fn& f, ostrell_isa isa, const double* a, const double* b, double* out, size_t n)
{
    if (f.batch1)
        f.batch1(isa, a, out, n);
    else
        f.batch2(isa, a, b, out, n);
}

const char* isa_name(ostrell_isa isa)
{
    return isa == OSTRELL_ISA_AVX512 ? "avx512" : isa == OSTRELL_ISA_AVX2 ? "avx2" : "sse2";
}

// ---- tests -----------------------------------------------------------------

class BatchMath : public ::testing::TestWithParam<std::tuple<size_t, ostrell_isa>> {
protected:
    void SetUp() override
    {
        if (!ostrell_isa_supported(std::get<1>(GetParam())))
            GTEST_SKIP() << "this CPU has no " << isa_name(std::get<1>(GetParam())) << " path";
    }
    const Fn& fn() const { return fns[std::get<0>(GetParam())]; }
    ostrell_isa isa() const { return std::get<1>(GetParam()); }
};

// 2·10^5 random rows in one call, every row against the scalar function.
TEST_P(BatchMath, RandomRowsMatchScalarBits)
{
    const Fn& f = fn();
    Rng rng(0x5eed0000u + unsigned(std::get<0>(GetParam())));
    std::vector<double> a = rows(rng, *f.src_a, kRows);
    std::vector<double> b = f.src_b ? rows(rng, *f.src_b, kRows) : std::vector<double>();
    std::vector<double> want(2 * kRows), got(2 * kRows);
    scalar_rows(f, a.data(), b.data(), want.data(), kRows);
    batch_rows(f, isa(), a.data(), f.src_b ? b.data() : nullptr, got.data(), kRows);
    Mismatches m;
    for (size_t i = 0; i < kRows; ++i) m.check(f.name, i, got.data(), want.data(), a.data(), f.src_b ? b.data() : nullptr);
    EXPECT_EQ(m.count, 0u) << f.name << " on " << isa_name(isa()) << m.first;
}

// Every length up to two blocks of the widest set (32 rows) plus a tail, arguments
// and results one double off 16-byte alignment, then the result written
// over the argument.
TEST_P(BatchMath, LengthsMisalignmentAndInPlace)
{
    const Fn& f = fn();
    Rng rng(0xa11900u + unsigned(std::get<0>(GetParam())));
    const size_t max_n = 2 * 32 + 31;
    for (size_t n = 0; n <= max_n; ++n) {
        std::vector<double> a = rows(rng, *f.src_a, n + 1), b = f.src_b ? rows(rng, *f.src_b, n + 1) : a;
        std::vector<double> want(2 * n + 2), got(2 * n + 3, 0.125);
        const double* ap = a.data() + 1; // rows start at an odd double
        const double* bp = b.data() + 1;
        scalar_rows(f, ap, bp, want.data(), n);
        batch_rows(f, isa(), ap, bp, got.data() + 1, n);
        Mismatches m;
        for (size_t i = 0; i < n; ++i) m.check(f.name, i, got.data() + 1, want.data(), ap, f.src_b ? bp : nullptr);
        EXPECT_EQ(m.count, 0u) << "n = " << n << m.first;
        EXPECT_EQ(got[0], 0.125) << "wrote before the result, n = " << n;
        EXPECT_EQ(got[2 * n + 1], 0.125) << "wrote past the result, n = " << n;

        std::vector<double> in_place(a.begin() + 1, a.begin() + 1 + 2 * n);
        batch_rows(f, isa(), in_place.data(), f.src_b ? bp : nullptr, in_place.data(), n);
        Mismatches mi;
        for (size_t i = 0; i < n; ++i) mi.check(f.name, i, in_place.data(), want.data(), ap, f.src_b ? bp : nullptr);
        EXPECT_EQ(mi.count, 0u) << "in place, n = " << n << mi.first;
    }
}

// Called from C11, the functions give the same rows (NaN parts only NaN).
TEST_P(BatchMath, CBuildGivesTheSameBits)
{
    const Fn& f = fn();
    Rng rng(0xc0de00u + unsigned(std::get<0>(GetParam())));
    const size_t n = 3001;
    std::vector<double> a = rows(rng, *f.src_a, n), b = f.src_b ? rows(rng, *f.src_b, n) : a;
    std::vector<double> want(2 * n), got(2 * n);
    if (!c_batch_math(isa(), f.name, a.data(), b.data(), got.data(), n))
        GTEST_SKIP() << f.name << " has no C entry in test_c_batch_math.c";
    batch_rows(f, isa(), a.data(), b.data(), want.data(), n);
    Mismatches m;
    for (size_t i = 0; i < n; ++i) m.check(f.name, i, got.data(), want.data(), a.data(), f.src_b ? b.data() : nullptr);
    EXPECT_EQ(m.count, 0u) << "C build, " << isa_name(isa()) << m.first;
}

INSTANTIATE_TEST_SUITE_P(
    AllPaths, BatchMath,
    ::testing::Combine(::testing::Range(size_t(0), sizeof fns / sizeof fns[0]),
                       ::testing::Values(OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512)),
    [](const ::testing::TestParamInfo<BatchMath::ParamType>& p) {
        return std::string(fns[std::get<0>(p.param)].name) + "_" + isa_name(std::get<1>(p.param));
    });

// sincos with the sine written over the argument.
TEST(BatchSincos, SineOverArgument)
{
    Rng rng(77);
    const size_t n = 1001;
    std::vector<double> x = rows(rng, trig_src, n), s = x, c(2 * n);
    for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512}) {
        if (!ostrell_isa_supported(isa)) continue;
        s = x;
        ostrell_batch_sincos_isa(isa, s.data(), s.data(), c.data(), n);
        Mismatches ms, mc;
        std::vector<double> ws(2 * n), wc(2 * n);
        for (size_t i = 0; i < n; ++i) {
            ostrell_t si, ci;
            ostrell_sincos(test::pair(x[2 * i], x[2 * i + 1]), &si, &ci);
            ostrell_extract(si, &ws[2 * i], &ws[2 * i + 1]);
            ostrell_extract(ci, &wc[2 * i], &wc[2 * i + 1]);
            ms.check("sin", i, s.data(), ws.data(), x.data(), nullptr);
            mc.check("cos", i, c.data(), wc.data(), x.data(), nullptr);
        }
        EXPECT_EQ(ms.count + mc.count, 0u) << isa_name(isa) << ms.first << mc.first;
    }
}

// pow of -1 (and of -1 with a low part) to integral exponents around 9e18,
// where the scalar turns from ±1 to NaN: whole blocks of such rows.
TEST(BatchPow, NegativeBaseAtTheIntegerLimit)
{
    Rng rng(99);
    const size_t n = 4096;
    std::vector<double> a(2 * n), b(2 * n), want(2 * n), got(2 * n);
    for (size_t i = 0; i < n; ++i) {
        a[2 * i] = -1.0;
        a[2 * i + 1] = (i / 8) % 2 ? 0.0 : -0x1p-60;
        b[2 * i] = near(rng, signed_(rng, 0x1.f399b1438a1p+62));
        b[2 * i + 1] = 0.0;
    }
    for (size_t i = 0; i < n; ++i) {
        ostrell_t r = ostrell_pow(test::pair(a[2 * i], a[2 * i + 1]), test::pair(b[2 * i], b[2 * i + 1]));
        ostrell_extract(r, &want[2 * i], &want[2 * i + 1]);
    }
    for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512}) {
        if (!ostrell_isa_supported(isa)) continue;
        ostrell_batch_pow_isa(isa, a.data(), b.data(), got.data(), n);
        Mismatches mm;
        for (size_t i = 0; i < n; ++i) mm.check("pow", i, got.data(), want.data(), a.data(), b.data());
        EXPECT_EQ(mm.count, 0u) << isa_name(isa) << mm.first;
    }
}

} // namespace
