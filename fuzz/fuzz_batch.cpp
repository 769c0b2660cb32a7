// Fuzz target: the vector layer against the scalar functions.  The input is
// a small header and then rows of raw bytes (every bit pattern: NaN
// payloads, infinities, subnormals, unnormalised pairs).  Every batch
// function runs on every path the CPU has, at the offset and length the
// header gives, separately and in place, and each result row must have the
// scalar function's bits (a NaN part only as a NaN in the same part).  The
// reductions must give the same bits on every path, those of the order
// ostrell_reduce.h states (a NaN as a NaN), and every element of the matrix
// product (ostrell_gemm_isa) the fold ostrell_linalg.h states.  Any difference traps with the row
// printed as hex bit patterns.
//
// Header bytes: [0] offset of the arrays in doubles (mod 8: aligned and
// unaligned to every vector width); [1] rows (up to 255); [2] shaping: bit 0
// high parts scaled into [2^-12, 2^12) (infinities, NaNs and zeros kept), bit 1 low parts made
// below half an ulp of the high part, bit 2 second operand the first one
// reversed, bits 3-4 the matrix product's rows less one; [3] rotation of the
// second operand's rows, mod 8 the product's inner dimension less one.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ostrell.h"
#include "ostrell_batch.h"
#include "ostrell_linalg.h"
#include "ostrell_math.h"
#include "ostrell_reduce.h"

namespace {

using unary_batch = void (*)(ostrell_isa, const double*, double*, size_t);
using binary_batch = void (*)(ostrell_isa, const double*, const double*, double*, size_t);
using unary_scalar = ostrell_t (*)(ostrell_t);
using binary_scalar = ostrell_t (*)(ostrell_t, ostrell_t);

struct unary_case { const char* name; unary_batch batch; unary_scalar scalar; };
struct binary_case { const char* name; binary_batch batch; binary_scalar scalar; };

const unary_case unary_cases[] = {
    {"sqrt", ostrell_batch_sqrt_isa, ostrell_sqrt},   {"exp", ostrell_batch_exp_isa, ostrell_exp},
    {"log", ostrell_batch_log_isa, ostrell_log},      {"sin", ostrell_batch_sin_isa, ostrell_sin},
    {"cos", ostrell_batch_cos_isa, ostrell_cos},      {"tan", ostrell_batch_tan_isa, ostrell_tan},
    {"sinh", ostrell_batch_sinh_isa, ostrell_sinh},   {"cosh", ostrell_batch_cosh_isa, ostrell_cosh},
    {"tanh", ostrell_batch_tanh_isa, ostrell_tanh},   {"atan", ostrell_batch_atan_isa, ostrell_atan},
    {"asin", ostrell_batch_asin_isa, ostrell_asin},   {"acos", ostrell_batch_acos_isa, ostrell_acos},
    {"floor", ostrell_batch_floor_isa, ostrell_floor}, {"ceil", ostrell_batch_ceil_isa, ostrell_ceil},
    {"trunc", ostrell_batch_trunc_isa, ostrell_trunc}, {"round", ostrell_batch_round_isa, ostrell_round},
};
const binary_case binary_cases[] = {
    {"add", ostrell_batch_add_isa, ostrell_add},     {"sub", ostrell_batch_sub_isa, ostrell_sub},
    {"mul", ostrell_batch_mul_isa, ostrell_mul},     {"div", ostrell_batch_div_isa, ostrell_div},
    {"pow", ostrell_batch_pow_isa, ostrell_pow},     {"atan2", ostrell_batch_atan2_isa, ostrell_atan2},
    {"fmod", ostrell_batch_fmod_isa, ostrell_fmod},
};

std::vector<ostrell_isa> paths;
unsigned long long rows_checked = 0;

uint64_t bits(double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

double from_bits(uint64_t u)
{
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// The promise per part: the scalar bits, or a NaN where the scalar part is NaN.
bool same_part(double got, double want) { return want != want ? got != got : bits(got) == bits(want); }

[[noreturn]] void report(const char* what, ostrell_isa isa, size_t row, const double* args, int nargs,
                         const double* got, const double* want)
{
    std::fprintf(stderr, "%s on path %d, row %zu:", what, int(isa), row);
    for (int i = 0; i < nargs; ++i)
        std::fprintf(stderr, " arg%d (0x%016" PRIx64 ", 0x%016" PRIx64 ")", i, bits(args[2 * i]),
                     bits(args[2 * i + 1]));
    std::fprintf(stderr, " got (0x%016" PRIx64 ", 0x%016" PRIx64 ") want (0x%016" PRIx64 ", 0x%016" PRIx64 ")\n",
                 bits(got[0]), bits(got[1]), bits(want[0]), bits(want[1]));
    __builtin_trap();
}

void check_row(const char* what, ostrell_isa isa, size_t row, const double* args, int nargs, const double* got,
               ostrell_t want_value)
{
    double want[2];
    ostrell_extract(want_value, &want[0], &want[1]);
    if (!same_part(got[0], want[0]) || !same_part(got[1], want[1]))
        report(what, isa, row, args, nargs, got, want);
}

// The reductions in the order ostrell_reduce.h states, element by element:
// a double-double sum per lane (ostrell_add's steps without its overflow
// branches), the lanes then added in order.
struct lanes {
    double hi[OSTRELL_REDUCE_LANES] = {}, lo[OSTRELL_REDUCE_LANES] = {};
    double plain_hi[OSTRELL_REDUCE_LANES] = {}, plain_lo[OSTRELL_REDUCE_LANES] = {};

    void take(size_t i, double h, double l, bool has_low)
    {
        const size_t j = i % OSTRELL_REDUCE_LANES;
        const double s = hi[j] + h;
        const double bb = s - hi[j];
        double e = (hi[j] - (s - bb)) + (h - bb);
        e = has_low ? e + (lo[j] + l) : e + lo[j];
        hi[j] = s + e;
        lo[j] = e - (hi[j] - s);
        plain_hi[j] = plain_hi[j] + h;
        if (has_low)
            plain_lo[j] = plain_lo[j] + l;
    }

    ostrell_t result() const
    {
        bool finite = true;
        for (int j = 0; j < OSTRELL_REDUCE_LANES; ++j)
            finite = finite && std::isfinite(hi[j]) && std::isfinite(lo[j]);
        if (!finite) {
            double t_hi = 0.0, t_lo = 0.0;
            for (int j = 0; j < OSTRELL_REDUCE_LANES; ++j) {
                t_hi = t_hi + plain_hi[j];
                t_lo = t_lo + plain_lo[j];
            }
            return ostrell_from_double(t_hi + t_lo);
        }
        ostrell_t acc = ostrell_from_hi_lo(hi[0], lo[0]);
        for (int j = 1; j < OSTRELL_REDUCE_LANES; ++j)
            acc = ostrell_add(acc, ostrell_from_hi_lo(hi[j], lo[j]));
        return acc;
    }
};

void check_reduction(const char* what, ostrell_isa isa, ostrell_t got_value, ostrell_t want_value, ostrell_t base)
{
    double got[2], want[2], first[2];
    ostrell_extract(got_value, &got[0], &got[1]);
    ostrell_extract(want_value, &want[0], &want[1]);
    ostrell_extract(base, &first[0], &first[1]);
    // Every path the baseline path's bits and the stated order's, a NaN as
    // a NaN (its sign and payload follow the operand order the compiler
    // chose for each path's additions).
    if (!same_part(got[0], first[0]) || !same_part(got[1], first[1]))
        report(what, isa, 0, nullptr, 0, got, first);
    if (!same_part(got[0], want[0]) || !same_part(got[1], want[1]))
        report(what, isa, 0, nullptr, 0, got, want);
}

void print_count() { std::fprintf(stderr, "fuzz_batch: %llu rows checked\n", rows_checked); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512})
        if (ostrell_isa_supported(isa))
            paths.push_back(isa);
    std::atexit(print_count);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const size_t offset = data[0] % 8, shape = data[2], rotate = data[3];
    const size_t pool = (size - 4) / 16;
    const size_t n = data[1] < pool ? data[1] : pool;
    if (n == 0)
        return 0;

    // The operands at the offset, each array in its own block sized to its
    // rows, so that ASan sees any access past the last row.
    std::vector<double> a(2 * n + offset), b(2 * n + offset);
    double* pa = a.data() + offset;
    double* pb = b.data() + offset;
    std::memcpy(pa, data + 4, 16 * n);
    for (size_t i = 0; i < n; ++i) {
        double* row = pa + 2 * i;
        if (shape & 1) {  // moderate exponents, infinities, NaNs and zeros kept
            for (int p = 0; p < 2; ++p) {
                const uint64_t u = bits(row[p]), e = (u >> 52) & 0x7FF;
                if (e != 0 && e != 0x7FF)
                    row[p] = from_bits((u & 0x800FFFFFFFFFFFFFull) | ((1023 + (e % 25) - 12) << 52));
            }
        }
        if (shape & 2)   // a low part below half an ulp of the high part
            row[1] = row[0] * (double(int32_t(bits(row[1]))) * 0x1p-31) * 0x1p-54;
    }
    for (size_t i = 0; i < n; ++i) {
        const size_t j = shape & 4 ? n - 1 - i : (i + rotate) % n;
        pb[2 * i] = pa[2 * j];
        pb[2 * i + 1] = pa[2 * j + 1];
    }
    std::vector<double> out(2 * n + offset), out2(2 * n + offset), copy(2 * n + offset);
    double* po = out.data() + offset;
    double* po2 = out2.data() + offset;
    double* pc = copy.data() + offset;

    for (ostrell_isa isa : paths) {
        for (const unary_case& f : unary_cases) {
            f.batch(isa, pa, po, n);
            std::memcpy(pc, pa, 16 * n);
            f.batch(isa, pc, pc, n);  // in place
            for (size_t i = 0; i < n; ++i) {
                const ostrell_t want = f.scalar(ostrell_from_hi_lo(pa[2 * i], pa[2 * i + 1]));
                check_row(f.name, isa, i, pa + 2 * i, 1, po + 2 * i, want);
                check_row(f.name, isa, i, pa + 2 * i, 1, pc + 2 * i, want);
            }
            rows_checked += 2 * n;
        }
        for (const binary_case& f : binary_cases) {
            f.batch(isa, pa, pb, po, n);
            std::memcpy(pc, pb, 16 * n);
            f.batch(isa, pa, pc, pc, n);  // in place over the second operand
            for (size_t i = 0; i < n; ++i) {
                const double args[4] = {pa[2 * i], pa[2 * i + 1], pb[2 * i], pb[2 * i + 1]};
                const ostrell_t want = f.scalar(ostrell_from_hi_lo(args[0], args[1]),
                                                ostrell_from_hi_lo(args[2], args[3]));
                check_row(f.name, isa, i, args, 2, po + 2 * i, want);
                check_row(f.name, isa, i, args, 2, pc + 2 * i, want);
            }
            rows_checked += 2 * n;
        }
        ostrell_batch_sincos_isa(isa, pa, po, po2, n);
        std::memcpy(pc, pa, 16 * n);
        ostrell_batch_sincos_isa(isa, pc, po, pc, n);  // cosine over the argument
        for (size_t i = 0; i < n; ++i) {
            ostrell_t s, c;
            ostrell_sincos(ostrell_from_hi_lo(pa[2 * i], pa[2 * i + 1]), &s, &c);
            check_row("sincos (sine)", isa, i, pa + 2 * i, 1, po + 2 * i, s);
            check_row("sincos (cosine)", isa, i, pa + 2 * i, 1, po2 + 2 * i, c);
            check_row("sincos in place (cosine)", isa, i, pa + 2 * i, 1, pc + 2 * i, c);
        }
        rows_checked += 2 * n;
    }

    // The matrix product: A (m x k) from the first operand's rows, B (k x c)
    // from the second's, on every path with one and two threads, from zero and
    // accumulated onto C; each element the left fold ostrell_linalg.h states.
    const size_t k = 1 + rotate % 8, cols = n / k < 24 ? n / k : 24;
    const size_t m = (1 + (shape >> 3) % 4) < n / k ? 1 + (shape >> 3) % 4 : n / k;
    if (cols > 0 && m > 0) {
        std::vector<double> c(2 * m * cols), c0(2 * m * cols);
        for (size_t i = 0; i < 2 * m * cols; ++i)
            c0[i] = pb[(i + 2 * k) % (2 * n)];
        for (ostrell_isa isa : paths) {
            for (int accumulate = 0; accumulate < 2; ++accumulate) {
                c = c0;
                const unsigned threads = 1 + unsigned(accumulate);
                if (ostrell_gemm_isa(isa, threads, accumulate, m, cols, k, pa, k, pb, cols, c.data(), cols) != 0)
                    __builtin_trap();
                for (size_t i = 0; i < m; ++i)
                    for (size_t j = 0; j < cols; ++j) {
                        const size_t at = 2 * (i * cols + j);
                        ostrell_t acc = accumulate ? ostrell_from_hi_lo(c0[at], c0[at + 1]) : ostrell_from_double(0.0);
                        for (size_t q = 0; q < k; ++q)
                            acc = ostrell_add(acc, ostrell_mul(ostrell_from_hi_lo(pa[2 * (i * k + q)], pa[2 * (i * k + q) + 1]),
                                                               ostrell_from_hi_lo(pb[2 * (q * cols + j)], pb[2 * (q * cols + j) + 1])));
                        const double args[4] = {double(i), double(j), double(k), double(accumulate)};
                        check_row("gemm (args: i, j, k, accumulate)", isa, at / 2, args, 2, c.data() + at, acc);
                    }
                rows_checked += m * cols;
            }
        }
    }

    // Reductions: the 2n doubles as values, the n rows, the n row products.
    lanes f64, rows, dot;
    for (size_t i = 0; i < 2 * n; ++i)
        f64.take(i, pa[i], 0.0, false);
    for (size_t i = 0; i < n; ++i) {
        rows.take(i, pa[2 * i], pa[2 * i + 1], true);
        double h, l;
        ostrell_extract(ostrell_mul(ostrell_from_hi_lo(pa[2 * i], pa[2 * i + 1]),
                                    ostrell_from_hi_lo(pb[2 * i], pb[2 * i + 1])), &h, &l);
        dot.take(i, h, l, true);
    }
    const ostrell_t base_f64 = ostrell_sum_f64_isa(OSTRELL_ISA_SSE2, pa, 2 * n);
    const ostrell_t base_rows = ostrell_sum_rows_isa(OSTRELL_ISA_SSE2, pa, n);
    const ostrell_t base_dot = ostrell_dot_rows_isa(OSTRELL_ISA_SSE2, pa, pb, n);
    for (ostrell_isa isa : paths) {
        check_reduction("sum_f64", isa, ostrell_sum_f64_isa(isa, pa, 2 * n), f64.result(), base_f64);
        check_reduction("sum_rows", isa, ostrell_sum_rows_isa(isa, pa, n), rows.result(), base_rows);
        check_reduction("dot_rows", isa, ostrell_dot_rows_isa(isa, pa, pb, n), dot.result(), base_dot);
        rows_checked += 4 * n;
    }
    return 0;
}
