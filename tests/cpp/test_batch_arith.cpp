// Batch add, sub, mul and div on every path this CPU has, against the scalar
// kernels bit for bit: random rows over the whole binary64 range with special
// rows mixed into the blocks, every short length, misaligned and aliased
// buffers.  A NaN part only has to be a NaN in the same part (its sign and
// payload may follow the operand order).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ostrell_batch.h"
#include "test_util.hpp"

extern "C" void c_batch_arith(int isa, int op, const double* a, const double* b, double* out,
                              size_t n);

namespace {

using test::bits;
using test::from_bits;
using test::same_part;

using batch_fn = void (*)(ostrell_isa, const double*, const double*, double*, size_t);
using scalar_fn = ostrell_t (*)(ostrell_t, ostrell_t);

struct Op {
    const char* name;
    batch_fn batch;
    scalar_fn scalar;
};
const Op ops[] = {
    {"add", ostrell_batch_add_isa, ostrell_add},
    {"sub", ostrell_batch_sub_isa, ostrell_sub},
    {"mul", ostrell_batch_mul_isa, ostrell_mul},
    {"div", ostrell_batch_div_isa, ostrell_div},
};

struct Path {
    ostrell_isa isa;
    const char* name;
    size_t lanes;
};
const Path paths[] = {
    {OSTRELL_ISA_SSE2, "sse2", 2},
    {OSTRELL_ISA_AVX2, "avx2", 4},
    {OSTRELL_ISA_AVX512, "avx512", 8},
};

// Random rows of many kinds, so that special rows land in otherwise clean
// blocks.  Each row is (hi, lo); kinds chosen per row.
class RowGen {
public:
    explicit RowGen(uint64_t seed) : rng_(seed) {}

    double with_exponent(int e)  // random significand and sign, biased exponent e
    {
        uint64_t u = rng_() & 0x800FFFFFFFFFFFFFULL;
        return from_bits(u | uint64_t(e) << 52);
    }
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // A normalised pair: lo below half an ulp of hi (or zero).
    void normalised(double hi, double* row)
    {
        row[0] = hi;
        int e = int(bits(hi) >> 52 & 0x7FF);
        row[1] = (e > 54 && uniform(0, 7) != 0) ? with_exponent(e - 54 - uniform(0, 8)) : 0.0;
    }

    double special()
    {
        static const uint64_t values[] = {
            0x0000000000000000, 0x8000000000000000,  // +-0
            0x7FF0000000000000, 0xFFF0000000000000,  // +-inf
            0x7FF8000000000000, 0xFFF8000000000001,  // NaNs
            0x7FEFFFFFFFFFFFFF, 0xFFEFFFFFFFFFFFFF,  // +-DBL_MAX
            0x0000000000000001, 0x8010000000000000,  // subnormal, -DBL_MIN
        };
        return from_bits(values[uniform(0, 9)]);
    }

    // The kind of row b is chosen with a (cancellation and quotient near 1
    // need the pair).
    void pair(double* a, double* b)
    {
        switch (uniform(0, 15)) {
        case 0:  // specials in either part
            a[0] = special(), a[1] = uniform(0, 1) ? special() : 0.0;
            b[0] = uniform(0, 1) ? special() : with_exponent(uniform(1, 2046)), b[1] = special();
            break;
        case 1:  // cancellation: b close to a (or -a)
            normalised(with_exponent(uniform(1, 2046)), a);
            b[0] = from_bits(bits(a[0]) + uint64_t(uniform(-2, 2)));
            if (uniform(0, 1)) b[0] = -b[0];
            b[1] = uniform(0, 1) ? -a[1] : with_exponent(int(bits(a[0]) >> 52 & 0x7FF) > 60
                                                              ? uniform(1, int(bits(a[0]) >> 52 & 0x7FF) - 54) : 1);
            break;
        case 2:  // subnormal and underflowing parts and products
            normalised(with_exponent(uniform(1, 120)), a);
            normalised(uniform(0, 1) ? with_exponent(uniform(0, 100)) : with_exponent(uniform(900, 1100)), b);
            if (uniform(0, 1)) a[1] = with_exponent(0);
            break;
        case 3:  // near overflow: sums, products and quotients at the top
            normalised(with_exponent(uniform(1900, 2046)), a);
            normalised(uniform(0, 1) ? with_exponent(uniform(1900, 2046)) : with_exponent(uniform(900, 1200)), b);
            break;
        case 4:  // a factor above 6.7e299 (the product error's pre-scaling and rescue)
            normalised(with_exponent(uniform(2017, 2046)), a);
            switch (uniform(0, 2)) {  // the other factor below 1 (down to subnormal), or above
            case 0: normalised(with_exponent(uniform(0, 60)), b); break;
            case 1: normalised(with_exponent(uniform(900, 1022)), b); break;
            default: normalised(with_exponent(uniform(1023, 1040)), b); break;
            }
            if (uniform(0, 1)) std::swap(a[0], b[0]), std::swap(a[1], b[1]);
            break;
        case 5:  // unnormalised pairs: any lo
            a[0] = with_exponent(uniform(1, 2046)), a[1] = with_exponent(uniform(1, 2046));
            b[0] = with_exponent(uniform(1, 2046)), b[1] = with_exponent(uniform(0, 2046));
            break;
        case 6:  // zero high parts with non-zero low parts
            a[0] = uniform(0, 1) ? 0.0 : -0.0, a[1] = with_exponent(uniform(0, 2046));
            normalised(with_exponent(uniform(1, 2046)), b);
            if (uniform(0, 1)) std::swap(a[0], b[0]), std::swap(a[1], b[1]);
            break;
        default:  // the full exponent range, normalised
            normalised(with_exponent(uniform(1, 2046)), a);
            normalised(with_exponent(uniform(1, 2046)), b);
            break;
        }
    }

    void fill(std::vector<double>& a, std::vector<double>& b, size_t rows)
    {
        a.resize(2 * rows), b.resize(2 * rows);
        for (size_t i = 0; i < rows; ++i)
            pair(&a[2 * i], &b[2 * i]);
    }

private:
    std::mt19937_64 rng_;
};

std::string row_hex(const double* r)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "(0x%016llX, 0x%016llX)", (unsigned long long)bits(r[0]),
                  (unsigned long long)bits(r[1]));
    return buf;
}

// Compares rows [0, n) of out with the scalar kernel on (a, b); a and b are
// the arguments as they were before the call.  Reports at most a few rows.
void expect_rows(const Op& op, const Path& path, const double* a, const double* b,
                 const double* out, size_t n, const std::string& what)
{
    int reported = 0;
    size_t wrong = 0;
    for (size_t i = 0; i < n; ++i) {
        double want[2];
        _mm_storeu_pd(want, op.scalar(_mm_loadu_pd(a + 2 * i), _mm_loadu_pd(b + 2 * i)));
        if (same_part(out[2 * i], want[0]) && same_part(out[2 * i + 1], want[1]))
            continue;
        ++wrong;
        if (reported++ < 5)
            ADD_FAILURE() << path.name << " " << op.name << " " << what << " row " << i << " of " << n
                          << ": a " << row_hex(a + 2 * i) << " b " << row_hex(b + 2 * i)
                          << " got " << row_hex(out + 2 * i) << " want " << row_hex(want);
    }
    EXPECT_EQ(wrong, 0u) << path.name << " " << op.name << " " << what;
}

class BatchArith : public ::testing::TestWithParam<Path> {
protected:
    void SetUp() override
    {
        if (!ostrell_isa_supported(GetParam().isa))
            GTEST_SKIP() << "this CPU has no " << GetParam().name << " path";
    }
};

// 2^20 rows per operation (above the non-temporal store threshold), with
// 64-byte-aligned output after the peeled rows.
TEST_P(BatchArith, MillionRowsBitForBit)
{
    const Path& path = GetParam();
    const size_t n = size_t(1) << 20;
    std::vector<double> a, b;
    RowGen gen(0x5EED0000 + path.isa);
    gen.fill(a, b, n);
    std::vector<double> out(2 * n + 8);
    for (const Op& op : ops) {
        op.batch(path.isa, a.data(), b.data(), out.data() + 2, n);  // out: 16-byte aligned, not 64
        expect_rows(op, path, a.data(), b.data(), out.data() + 2, n, "2^20 rows");
    }
}

// A high part that overflows only in the renormalisation gives (±inf, +0) on
// every path, in a block of ordinary rows as in a block of its own.
TEST_P(BatchArith, OverflowInTheRenormalisationIsInfPlusZero)
{
    const Path& path = GetParam();
    const double max_lo = 0x1.fffffffffffffp+969;
    const struct {
        int op;
        double a[2], b[2], hi;
    } cases[] = {
        {0, {DBL_MAX, max_lo}, {1e286, 0}, HUGE_VAL},   {1, {DBL_MAX, max_lo}, {-1e286, 0}, HUGE_VAL},
        {0, {-DBL_MAX, -max_lo}, {-1e286, 0}, -HUGE_VAL}, {1, {-DBL_MAX, -max_lo}, {1e286, 0}, -HUGE_VAL},
        {2, {DBL_MAX, max_lo}, {1, 0x1p-53}, HUGE_VAL},  {2, {1, 1e308}, {-10, 0}, -HUGE_VAL},
        {0, {1, DBL_MAX}, {1, DBL_MAX}, HUGE_VAL},
    };
    const size_t n = 4 * path.lanes;
    for (const auto& c : cases) {
        for (size_t at : {size_t(0), path.lanes + 1, n - 1}) {
            std::vector<double> a(2 * n, 1.5), b(2 * n, 0.25), out(2 * n);
            std::copy(c.a, c.a + 2, &a[2 * at]);
            std::copy(c.b, c.b + 2, &b[2 * at]);
            ops[c.op].batch(path.isa, a.data(), b.data(), out.data(), n);
            EXPECT_EQ(bits(out[2 * at]), bits(c.hi)) << path.name << " " << ops[c.op].name << " row " << at;
            EXPECT_EQ(bits(out[2 * at + 1]), 0u) << path.name << " " << ops[c.op].name << " row " << at;
            expect_rows(ops[c.op], path, a.data(), b.data(), out.data(), n, "overflow rows");
        }
    }
}

// Every length up to two blocks and a tail, and around the peeling and
// stream thresholds' small side; every 16-byte phase of out against a
// 64-byte line, and each pointer misaligned by one double.  Rows past n are
// never written.
TEST_P(BatchArith, LengthsAndAlignments)
{
    const Path& path = GetParam();
    const size_t max_rows = 3 * path.lanes - 1;
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= max_rows; ++n) lengths.push_back(n);
    for (size_t n = 62; n <= 62 + 2 * path.lanes; ++n) lengths.push_back(n);
    RowGen gen(0xA11C0000 + path.isa);
    const double guard = from_bits(0x7FF4DEADBEEF0001);  // a signalling-NaN pattern
    for (size_t n : lengths) {
        // Offsets in doubles: out 0..7 (both 16-byte phases and the 8-byte one), a and b 0 or 1.
        for (int shift = 0; shift < 16; ++shift) {
            size_t oa = shift & 1, ob = shift >> 1 & 1, oo = size_t(shift >> 2) * 2 + (shift & 1);
            std::vector<double> a, b;
            gen.fill(a, b, n);
            alignas(64) static double abuf[2 * 100 + 8], bbuf[2 * 100 + 8], obuf[2 * 100 + 16];
            std::copy(a.begin(), a.end(), abuf + oa);  // not memcpy: a.data() is null for n = 0
            std::copy(b.begin(), b.end(), bbuf + ob);
            for (const Op& op : ops) {
                for (double& d : obuf) d = guard;
                op.batch(path.isa, abuf + oa, bbuf + ob, obuf + oo, n);
                std::string what = "n=" + std::to_string(n) + " offsets a+" + std::to_string(oa) +
                                   " b+" + std::to_string(ob) + " out+" + std::to_string(oo);
                expect_rows(op, path, a.data(), b.data(), obuf + oo, n, what);
                for (size_t k = 0; k < sizeof obuf / sizeof obuf[0]; ++k) {
                    if (k < oo || k >= oo + 2 * n) {
                        ASSERT_EQ(bits(obuf[k]), bits(guard)) << what << ": wrote outside the rows";
                    }
                }
            }
        }
    }
}

// out == a and out == b: every row is read before it is written.
TEST_P(BatchArith, ResultOverAnArgument)
{
    const Path& path = GetParam();
    const size_t n = 1000 + path.lanes / 2;
    std::vector<double> a, b;
    RowGen gen(0xA1A50000 + path.isa);
    gen.fill(a, b, n);
    for (const Op& op : ops) {
        std::vector<double> inout = a;
        op.batch(path.isa, inout.data(), b.data(), inout.data(), n);
        expect_rows(op, path, a.data(), b.data(), inout.data(), n, "out == a");
        inout = b;
        op.batch(path.isa, a.data(), inout.data(), inout.data(), n);
        expect_rows(op, path, a.data(), b.data(), inout.data(), n, "out == b");
    }
}

// Called from C, the functions give the same rows (NaN parts may differ in
// sign and payload).
TEST_P(BatchArith, CBuildGivesTheSameBits)
{
    const Path& path = GetParam();
    const size_t n = 2000 + path.lanes - 1;
    std::vector<double> a, b;
    RowGen gen(0xC0DE0000 + path.isa);
    gen.fill(a, b, n);
    std::vector<double> got(2 * n), want(2 * n);
    for (int k = 0; k < 4; ++k) {
        c_batch_arith(path.isa, k, a.data(), b.data(), got.data(), n);
        ops[k].batch(path.isa, a.data(), b.data(), want.data(), n);
        size_t wrong = 0;
        for (size_t i = 0; i < 2 * n; ++i) {
            if (!same_part(got[i], want[i]) && wrong++ < 5)
                ADD_FAILURE() << path.name << " " << ops[k].name << " row " << i / 2 << ": a "
                              << row_hex(&a[i & ~size_t(1)]) << " b " << row_hex(&b[i & ~size_t(1)])
                              << " C " << row_hex(&got[i & ~size_t(1)]) << " C++ "
                              << row_hex(&want[i & ~size_t(1)]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, BatchArith, ::testing::ValuesIn(paths),
                         [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

// The default entry points run the best path.  NaN parts only have to be NaN
// in the same parts: their sign and payload may depend on the output's
// alignment (which rows the vector code takes).
TEST(BatchArithDispatch, BestPathIsSupportedAndUsed)
{
    using plain_fn = void (*)(const double*, const double*, double*, size_t);
    const plain_fn plain[] = {ostrell_batch_add, ostrell_batch_sub, ostrell_batch_mul, ostrell_batch_div};
    ostrell_isa best = ostrell_isa_best();
    EXPECT_TRUE(ostrell_isa_supported(best));
    EXPECT_EQ(best, ostrell_isa_best());
    std::vector<double> a, b;
    RowGen gen(7);
    gen.fill(a, b, 301);
    std::vector<double> got(a.size() + 1), want(a.size());
    for (int k = 0; k < 4; ++k) {
        plain[k](a.data(), b.data(), got.data() + 1, 301);  // another alignment than want's
        ops[k].batch(best, a.data(), b.data(), want.data(), 301);
        size_t wrong = 0;
        for (size_t i = 0; i < want.size(); ++i) {
            size_t r = i & ~size_t(1);
            if (!same_part(got[i + 1], want[i]) && wrong++ < 5)
                ADD_FAILURE() << ops[k].name << " row " << i / 2 << ": a " << row_hex(&a[r]) << " b "
                              << row_hex(&b[r]) << " default " << row_hex(&got[r + 1]) << " best path "
                              << row_hex(&want[r]);
        }
    }
}

} // namespace
