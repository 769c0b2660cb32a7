// Batch add, sub, mul and div (ostrell_batch.h) on every path this CPU has,
// ns per row and the time ratio to a float64 add of the same bytes timed in
// the same run: the reference does what NumPy's np.add does on two
// C-contiguous (N, 2) float64 arrays (2N doubles in, a fresh 2N out, on the
// widest vectors the CPU has).  Beside the paths: a loop of the scalar
// kernel, one row per call, and QD's dd_real one value per call (when QD is
// installed).
//
// Every result buffer is fresh and allocated as NumPy allocates one (malloc,
// transparent huge pages requested from 4 MiB), and freed inside the timed
// region, as a Python caller drops it; so the page faults of a large result
// are counted on both sides.  Each figure is the minimum over repetitions,
// the reference and the measured function alternating.
//
//   build/rel/benchmarks/bench_batch_arith [--quick] [--reps R] [--rows N]...
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <immintrin.h>

#include "bench.hpp"
#include "ostrell_batch.h"

#ifdef OSTRELL_HAVE_QD
#include <qd/dd_real.h>
#endif

namespace {

using rows_fn = std::function<void(const double*, const double*, double*, size_t)>;

// ---- NumPy's allocation and its float64 add --------------------------------

double* numpy_like_alloc(size_t doubles)
{
    size_t bytes = doubles * sizeof(double);
    auto* p = static_cast<double*>(std::malloc(bytes));
    if (p == nullptr) {
        std::perror("malloc");
        std::exit(1);
    }
    if (bytes >= (size_t(1) << 22)) {  // NumPy: huge pages for data of 4 MiB and more
        uintptr_t offset = 4096 - uintptr_t(p) % 4096;
        madvise(reinterpret_cast<char*>(p) + offset, bytes - offset, MADV_HUGEPAGE);
    }
    return p;
}

// out[k] = a[k] + b[k] for k < m, unaligned loads and stores of the widest
// vectors, as NumPy's contiguous float64 add loop.
__attribute__((target("avx512f"), noinline)) void ref_add_avx512(const double* a, const double* b,
                                                                  double* out, size_t m)
{
    size_t k = 0;
    for (; k + 16 <= m; k += 16) {
        __m512d x0 = _mm512_loadu_pd(a + k), x1 = _mm512_loadu_pd(a + k + 8);
        __m512d y0 = _mm512_loadu_pd(b + k), y1 = _mm512_loadu_pd(b + k + 8);
        _mm512_storeu_pd(out + k, _mm512_add_pd(x0, y0));
        _mm512_storeu_pd(out + k + 8, _mm512_add_pd(x1, y1));
    }
    for (; k < m; ++k) out[k] = a[k] + b[k];
}

__attribute__((target("avx2"), noinline)) void ref_add_avx2(const double* a, const double* b,
                                                             double* out, size_t m)
{
    size_t k = 0;
    for (; k + 8 <= m; k += 8) {
        __m256d x0 = _mm256_loadu_pd(a + k), x1 = _mm256_loadu_pd(a + k + 4);
        __m256d y0 = _mm256_loadu_pd(b + k), y1 = _mm256_loadu_pd(b + k + 4);
        _mm256_storeu_pd(out + k, _mm256_add_pd(x0, y0));
        _mm256_storeu_pd(out + k + 4, _mm256_add_pd(x1, y1));
    }
    for (; k < m; ++k) out[k] = a[k] + b[k];
}

__attribute__((noinline)) void ref_add_sse2(const double* a, const double* b, double* out, size_t m)
{
    size_t k = 0;
    for (; k + 4 <= m; k += 4) {
        _mm_storeu_pd(out + k, _mm_add_pd(_mm_loadu_pd(a + k), _mm_loadu_pd(b + k)));
        _mm_storeu_pd(out + k + 2, _mm_add_pd(_mm_loadu_pd(a + k + 2), _mm_loadu_pd(b + k + 2)));
    }
    for (; k < m; ++k) out[k] = a[k] + b[k];
}

// The reference on n rows (2n doubles), on the widest path.
void reference_rows(const double* a, const double* b, double* out, size_t n)
{
    switch (ostrell_isa_best()) {
    case OSTRELL_ISA_AVX512: ref_add_avx512(a, b, out, 2 * n); return;
    case OSTRELL_ISA_AVX2: ref_add_avx2(a, b, out, 2 * n); return;
    default: ref_add_sse2(a, b, out, 2 * n); return;
    }
}

// ---- the functions measured ---------------------------------------------------

using scalar_fn = ostrell_t (*)(ostrell_t, ostrell_t);
using batch_isa_fn = void (*)(ostrell_isa, const double*, const double*, double*, size_t);

struct Op {
    const char* name;
    batch_isa_fn batch;
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
};
const Path paths[] = {{OSTRELL_ISA_AVX512, "AVX-512F"}, {OSTRELL_ISA_AVX2, "AVX2"}, {OSTRELL_ISA_SSE2, "SSE2"}};

// One scalar kernel call per row, the loop the batch functions replace.
template <scalar_fn op> __attribute__((noinline)) void scalar_rows(const double* a, const double* b,
                                                                   double* out, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        _mm_storeu_pd(out + 2 * i, op(_mm_loadu_pd(a + 2 * i), _mm_loadu_pd(b + 2 * i)));
}
const rows_fn scalar_loops[] = {scalar_rows<ostrell_add>, scalar_rows<ostrell_sub>,
                                scalar_rows<ostrell_mul>, scalar_rows<ostrell_div>};

#ifdef OSTRELL_HAVE_QD
// QD's operators one value per call, its default configuration.
template <class F> __attribute__((noinline)) void qd_rows(F f, const double* a, const double* b,
                                                          double* out, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        dd_real r = f(dd_real(a[2 * i], a[2 * i + 1]), dd_real(b[2 * i], b[2 * i + 1]));
        out[2 * i] = r.x[0];
        out[2 * i + 1] = r.x[1];
    }
}
const rows_fn qd_loops[] = {
    [](const double* a, const double* b, double* o, size_t n) { qd_rows([](const dd_real& x, const dd_real& y) { return x + y; }, a, b, o, n); },
    [](const double* a, const double* b, double* o, size_t n) { qd_rows([](const dd_real& x, const dd_real& y) { return x - y; }, a, b, o, n); },
    [](const double* a, const double* b, double* o, size_t n) { qd_rows([](const dd_real& x, const dd_real& y) { return x * y; }, a, b, o, n); },
    [](const double* a, const double* b, double* o, size_t n) { qd_rows([](const dd_real& x, const dd_real& y) { return x / y; }, a, b, o, n); },
};
#endif

// ---- the divider floor ---------------------------------------------------------
// Division needs 3 quotients per row (q1, q2 and r_lo / b_hi): at the
// divider's rate that bounds the time of div in cache from below.

// Seconds per vdivpd of eight independent chains (a throughput loop; the
// divisor is not 1 or a power of 2, so no operand takes a short cut).
__attribute__((target("avx2"), noinline)) double div_rate_avx2(long n)
{
    __m256d y = _mm256_set1_pd(1.0000000001234567), x[8];
    for (int k = 0; k < 8; ++k) x[k] = _mm256_set1_pd(1.5 + k);
    auto t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < n; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) x[k] = _mm256_div_pd(x[k], y);
    }
    auto t1 = std::chrono::steady_clock::now();
    for (int k = 0; k < 8; ++k) asm volatile("" : : "x"(x[k]));
    return std::chrono::duration<double>(t1 - t0).count() / (8.0 * double(n));
}

__attribute__((target("avx512f"), noinline)) double div_rate_avx512(long n)
{
    __m512d y = _mm512_set1_pd(1.0000000001234567), x[8];
    for (int k = 0; k < 8; ++k) x[k] = _mm512_set1_pd(1.5 + k);
    auto t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < n; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) x[k] = _mm512_div_pd(x[k], y);
    }
    auto t1 = std::chrono::steady_clock::now();
    for (int k = 0; k < 8; ++k) asm volatile("" : : "v"(x[k]));
    return std::chrono::duration<double>(t1 - t0).count() / (8.0 * double(n));
}

// The 3 quotients a_hi/b_hi, a_lo/b_hi, b_lo/b_hi of each row on the
// benchmark's own rows (4 rows per vdivpd), stored: the floor with real
// operands and the loads and stores of a row.
__attribute__((target("avx2"), noinline)) void three_quotients_avx2(const double* a, const double* b,
                                                                     double* out, size_t n)
{
    for (size_t i = 0; i + 4 <= n; i += 4) {
        __m256d x0 = _mm256_loadu_pd(a + 2 * i), x1 = _mm256_loadu_pd(a + 2 * i + 4);
        __m256d y0 = _mm256_loadu_pd(b + 2 * i), y1 = _mm256_loadu_pd(b + 2 * i + 4);
        __m256d bh = _mm256_unpacklo_pd(y0, y1);
        __m256d q1 = _mm256_div_pd(_mm256_unpacklo_pd(x0, x1), bh);
        __m256d q2 = _mm256_div_pd(_mm256_unpackhi_pd(x0, x1), bh);
        __m256d q3 = _mm256_div_pd(_mm256_unpackhi_pd(y0, y1), bh);
        _mm256_storeu_pd(out + 2 * i, _mm256_add_pd(q1, q2));
        _mm256_storeu_pd(out + 2 * i + 4, q3);
    }
}

// ---- timing ---------------------------------------------------------------------

// One call of f into a fresh result, its allocation and release included.
void call_fresh(const rows_fn& f, const double* a, const double* b, size_t n)
{
    double* out = numpy_like_alloc(2 * n);
    f(a, b, out, n);
    asm volatile("" : : "r"(out) : "memory");
    std::free(out);
}

// Seconds of a call of f after two untimed ones: the caches and the
// allocator as a loop of f leaves them (the fresh result reuses the block
// just freed, which the other function may have left in the caches or not).
double time_fresh(const rows_fn& f, const double* a, const double* b, size_t n)
{
    call_fresh(f, a, b, n);
    call_fresh(f, a, b, n);
    auto t0 = std::chrono::steady_clock::now();
    call_fresh(f, a, b, n);
    auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

// Minimum of f and of the reference, called alternately, reps times (and
// more on small n: a single short call is the likeliest to run undisturbed
// on a shared machine).
struct Pair {
    double f, ref;
};
Pair best_pair(const rows_fn& f, const double* a, const double* b, size_t n, int reps)
{
    size_t calls = size_t(reps) * std::max<size_t>(1, 1000000 / n);
    Pair best{1e300, 1e300};
    for (size_t r = 0; r < calls; ++r) {
        best.f = std::min(best.f, time_fresh(f, a, b, n));
        best.ref = std::min(best.ref, time_fresh(reference_rows, a, b, n));
    }
    return best;
}

// Rows as run.py makes them: hi normal around 3, lo within half an ulp.
std::vector<double> operands(size_t n, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> u(-0x1p-54, 0x1p-54);
    std::vector<double> v(2 * n);
    for (size_t i = 0; i < n; ++i) {
        v[2 * i] = normal(rng) + 3.0;
        v[2 * i + 1] = v[2 * i] * u(rng);
    }
    return v;
}

std::string n_label(size_t n)
{
    switch (n) {
    case 10000: return "10^4";
    case 1000000: return "10^6";
    case 10000000: return "10^7";
    default: return std::to_string(n);
    }
}

} // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    int reps = 11;
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) sizes.push_back(std::max(1L, std::atol(argv[++i])));
        else {
            std::fprintf(stderr, "usage: %s [--quick] [--reps R] [--rows N]...\n", argv[0]);
            return 2;
        }
    }
    if (sizes.empty())
        sizes = quick ? std::vector<size_t>{10000, 1000000} : std::vector<size_t>{10000, 1000000, 10000000};
    if (quick) reps = std::min(reps, 3);
    std::string args;
    for (int i = 1; i < argc; ++i) args += std::string(" ") + argv[i];

    std::printf("machine: %s, paths: %s%s%s\n", bench::cpu_model().c_str(),
                ostrell_isa_supported(OSTRELL_ISA_AVX512) ? "AVX-512F " : "",
                ostrell_isa_supported(OSTRELL_ISA_AVX2) ? "AVX2 " : "", "SSE2");
    std::printf("date:    %s; %s, -O2 -ffp-contract=off, x86-64 baseline\n", bench::utc_now("%Y-%m-%d %H:%M UTC").c_str(), __VERSION__);
    std::printf("command: cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release && "
                "cmake --build build/rel --target bench_batch_arith && build/rel/benchmarks/bench_batch_arith%s\n",
                args.c_str());
    std::printf("ns per row, fresh result; ratio = time / time of the float64 add of the same bytes "
                "(NumPy's np.add loop, %s) in the same run; min of %d repetitions (x 10^6/N below 10^6 rows)\n",
                paths[2 - int(ostrell_isa_best())].name, reps);
#ifdef OSTRELL_HAVE_QD
    std::printf("QD dd_real: operator+ %s, operator/ %s (one value per call)\n",
#ifdef QD_IEEE_ADD
                "ieee_add",
#else
                "sloppy_add",
#endif
#ifdef QD_SLOPPY_DIV
                "sloppy_div"
#else
                "accurate_div"
#endif
    );
#endif

    std::vector<std::string> columns;
    for (const Path& p : paths)
        if (ostrell_isa_supported(p.isa)) columns.push_back(p.name);
    columns.push_back("scalar loop");
#ifdef OSTRELL_HAVE_QD
    columns.push_back("QD dd_real");
#endif
    std::printf("\n| N | op | np.add-like ns |");
    for (const auto& c : columns) std::printf(" %s ns | ratio |", c.c_str());
    std::printf("\n|---|---|---:|");
    for (size_t k = 0; k < columns.size(); ++k) std::printf("---:|---:|");
    std::printf("\n");

    // AVX2's time over AVX-512F's, per size and operation, when the CPU has both.
    const bool both = ostrell_isa_supported(OSTRELL_ISA_AVX512);
    std::string avx2_over_avx512;
    for (size_t n : sizes) {
        std::vector<double> a = operands(n, 1), b = operands(n, 2);
        if (both) avx2_over_avx512 += "\n  " + n_label(n) + ":";
        for (size_t k = 0; k < 4; ++k) {
            const Op& op = ops[k];
            std::vector<Pair> cells;
            for (const Path& p : paths) {
                if (!ostrell_isa_supported(p.isa)) continue;
                ostrell_isa isa = p.isa;
                rows_fn f = [&op, isa](const double* x, const double* y, double* o, size_t m) { op.batch(isa, x, y, o, m); };
                cells.push_back(best_pair(f, a.data(), b.data(), n, reps));
            }
            cells.push_back(best_pair(scalar_loops[k], a.data(), b.data(), n, reps));
#ifdef OSTRELL_HAVE_QD
            cells.push_back(best_pair(qd_loops[k], a.data(), b.data(), n, reps));
#endif
            double ref = 1e300;
            for (const Pair& c : cells) ref = std::min(ref, c.ref);
            std::printf("| %s | %s | %.3f |", n_label(n).c_str(), op.name, ref / double(n) * 1e9);
            for (const Pair& c : cells) std::printf(" %.3f | %.2f |", c.f / double(n) * 1e9, c.f / ref);
            std::printf("\n");
            std::fflush(stdout);
            if (both) {
                char buf[32];
                std::snprintf(buf, sizeof buf, " %s %.2f", op.name, cells[1].f / cells[0].f);
                avx2_over_avx512 += buf;
            }
        }
    }
    if (both) std::printf("\nAVX2 time / AVX-512F time:%s\n", avx2_over_avx512.c_str());

    // The divider floor, timed alternately with div on 10^4 rows (in cache).
    if (ostrell_isa_supported(OSTRELL_ISA_AVX2)) {
        const size_t n = 10000;
        std::vector<double> a = operands(n, 1), b = operands(n, 2), out(2 * n);
        double ymm = 1e300, zmm = 1e300, three = 1e300, d2 = 1e300, d512 = 1e300;
        auto once = [&](auto f) {
            auto t0 = std::chrono::steady_clock::now();
            f();
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(n);
        };
        for (int r = 0; r < 10 * reps; ++r) {
            ymm = std::min(ymm, div_rate_avx2(20000));
            if (both) zmm = std::min(zmm, div_rate_avx512(20000));
            three = std::min(three, once([&] { three_quotients_avx2(a.data(), b.data(), out.data(), n); }));
            d2 = std::min(d2, once([&] { ostrell_batch_div_isa(OSTRELL_ISA_AVX2, a.data(), b.data(), out.data(), n); }));
            if (both)
                d512 = std::min(d512, once([&] { ostrell_batch_div_isa(OSTRELL_ISA_AVX512, a.data(), b.data(), out.data(), n); }));
        }
        std::printf("\ndivider floor (10^4 rows in cache, min of %d alternating):\n", 10 * reps);
        std::printf("  vdivpd ymm every %.3f ns (throughput loop): floor 3/4 x that = %.3f ns per row; "
                    "3 quotients per row on these rows %.3f ns per row\n", ymm * 1e9, 0.75 * ymm * 1e9, three * 1e9);
        std::printf("  div AVX2 %.3f ns per row = %.2f x the floor (%.2f x the 3-quotient loop)\n", d2 * 1e9,
                    d2 / (0.75 * ymm), d2 / three);
        if (both)
            std::printf("  vdivpd zmm every %.3f ns: floor 3/8 x that = %.3f ns per row; div AVX-512F %.3f ns per row = %.2f x\n",
                        zmm * 1e9, 0.375 * zmm * 1e9, d512 * 1e9, d512 / (0.375 * zmm));
    }
    return 0;
}
