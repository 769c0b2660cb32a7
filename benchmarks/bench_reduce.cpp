// ns per value of the reductions of ostrell_reduce.h on each path the CPU
// has, in cache (10^4 values) and from memory (10^7), next to a plain
// binary64 loop sum of the same values in the same run.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "bench.hpp"
#include "ostrell_reduce.h"

namespace {

template <class F> double best_ns_per_value(size_t n, F&& f, int reps)
{
    double best = 1e300;
    for (int r = 0; r < reps; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / double(n);
        if (ns < best) best = ns;
    }
    return best;
}

__attribute__((noinline)) double plain_sum(const double* x, size_t n)
{
    double s = 0.0;
    for (size_t i = 0; i < n; ++i) s += x[i];
    return s;
}

const char* name(ostrell_isa isa)
{
    return isa == OSTRELL_ISA_AVX512 ? "avx512" : isa == OSTRELL_ISA_AVX2 ? "avx2" : "sse2";
}

} // namespace

int main()
{
    std::printf("ns per value; plain = binary64 loop sum s += x[i] of the n values\n");
    std::printf("%-9s %-7s %10s %10s %10s %10s %14s\n", "n", "path", "sum_f64", "sum_rows", "dot_rows",
                "plain", "sum_f64/plain");
    for (size_t n : {size_t(10000), size_t(10000000)}) {
        std::mt19937_64 rng(1);
        std::normal_distribution<double> g;
        std::vector<double> x(n), rows(2 * n);
        for (size_t i = 0; i < n; ++i) {
            x[i] = g(rng);
            rows[2 * i] = x[i];
            rows[2 * i + 1] = x[i] * 0x1p-60;
        }
        const int reps = n > 100000 ? 10 : 2000;
        for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512}) {
            if (!ostrell_isa_supported(isa)) continue;
            double t_f64 = best_ns_per_value(n, [&] { bench::keep(ostrell_sum_f64_isa(isa, x.data(), n)); }, reps);
            double t_rows = best_ns_per_value(n, [&] { bench::keep(ostrell_sum_rows_isa(isa, rows.data(), n)); }, reps);
            double t_dot = best_ns_per_value(
                n, [&] { bench::keep(ostrell_dot_rows_isa(isa, rows.data(), rows.data(), n)); }, reps);
            double t_plain = best_ns_per_value(n, [&] { bench::keep(plain_sum(x.data(), n)); }, reps);
            std::printf("%-9zu %-7s %10.3f %10.3f %10.3f %10.3f %14.2f\n", n, name(isa), t_f64, t_rows, t_dot,
                        t_plain, t_f64 / t_plain);
        }
    }
}
