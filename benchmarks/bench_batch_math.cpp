// ns per value of the batch functions on each path this CPU has, against a
// loop of the scalar function over the same rows in the same run (min of
// repeats), and the speed-up scalar / path.
//   build/rel/benchmarks/bench_batch_math [rows]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench.hpp"
#include "ostrell_batch.h"

namespace {

using Unary = void (*)(ostrell_isa, const double*, double*, size_t);
using Binary = void (*)(ostrell_isa, const double*, const double*, double*, size_t);

const ostrell_isa paths[] = {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512};
const char* const path_names[] = {"sse2", "avx2", "avx512"};

// n normalised rows with high parts in [a, b); one row in every nan_every
// (at random) a NaN, which the vector paths hand to the scalar function.
std::vector<double> rows(size_t n, double a, double b, unsigned seed, unsigned nan_every = 0)
{
    std::vector<ostrell_t> v = bench::operands(n, a, b, seed);
    std::vector<double> r(2 * n);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < n; ++i) {
        ostrell_extract(v[i], &r[2 * i], &r[2 * i + 1]);
        if (nan_every && rng() % nan_every == 0) r[2 * i] = __builtin_nan("");
    }
    return r;
}

// Best of reps of ns per value of f() over n values.
template <class F> double ns_per_value(size_t n, F&& f, int reps = 11)
{
    return bench::ns_per_call(1, [&](size_t) { f(); }, reps) / double(n);
}

void report(const char* name, double scalar_ns, const double* path_ns)
{
    std::printf("%-8s %10.2f", name, scalar_ns);
    for (int p = 0; p < 3; ++p) {
        if (path_ns[p] > 0)
            std::printf(" %10.2f %6.2fx", path_ns[p], scalar_ns / path_ns[p]);
        else
            std::printf(" %10s %7s", "-", "-");
    }
    std::printf("\n");
}

void unary(const char* name, Unary batch, ostrell_t (*scalar)(ostrell_t), double a, double b, size_t n,
           unsigned nan_every = 0)
{
    std::vector<double> x = rows(n, a, b, 1, nan_every), out(2 * n);
    double s = ns_per_value(n, [&] {
        for (size_t i = 0; i < n; ++i) _mm_storeu_pd(&out[2 * i], scalar(_mm_loadu_pd(&x[2 * i])));
        bench::keep(out[0]);
    });
    double p[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        if (ostrell_isa_supported(paths[k]))
            p[k] = ns_per_value(n, [&] { batch(paths[k], x.data(), out.data(), n); bench::keep(out[0]); });
    report(name, s, p);
}

void binary(const char* name, Binary batch, ostrell_t (*scalar)(ostrell_t, ostrell_t), double a0, double a1,
            double b0, double b1, size_t n)
{
    std::vector<double> x = rows(n, a0, a1, 1), y = rows(n, b0, b1, 2), out(2 * n);
    double s = ns_per_value(n, [&] {
        for (size_t i = 0; i < n; ++i)
            _mm_storeu_pd(&out[2 * i], scalar(_mm_loadu_pd(&x[2 * i]), _mm_loadu_pd(&y[2 * i])));
        bench::keep(out[0]);
    });
    double p[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        if (ostrell_isa_supported(paths[k]))
            p[k] = ns_per_value(n, [&] { batch(paths[k], x.data(), y.data(), out.data(), n); bench::keep(out[0]); });
    report(name, s, p);
}

void sincos(size_t n)
{
    std::vector<double> x = rows(n, -10.0, 10.0, 1), s(2 * n), c(2 * n);
    double t = ns_per_value(n, [&] {
        ostrell_t si, ci;
        for (size_t i = 0; i < n; ++i) {
            ostrell_sincos(_mm_loadu_pd(&x[2 * i]), &si, &ci);
            _mm_storeu_pd(&s[2 * i], si);
            _mm_storeu_pd(&c[2 * i], ci);
        }
        bench::keep(s[0]);
    });
    double p[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        if (ostrell_isa_supported(paths[k]))
            p[k] = ns_per_value(n, [&] { ostrell_batch_sincos_isa(paths[k], x.data(), s.data(), c.data(), n); bench::keep(s[0]); });
    report("sincos", t, p);
}

} // namespace

int main(int argc, char** argv)
{
    size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    std::printf("batch functions, %zu rows per call, ns per value (min of 11); x = scalar loop / path\n", n);
    std::printf("%s; best path: %s; run as: %s %zu\n", bench::cpu_model().c_str(), path_names[ostrell_isa_best()],
                argv[0], n);
    std::printf("%-8s %10s", "function", "scalar");
    for (const char* p : path_names) std::printf(" %10s %7s", p, "x");
    std::printf("\n");
    unary("sqrt", ostrell_batch_sqrt_isa, ostrell_sqrt, 1e-3, 1e3, n);
    unary("exp", ostrell_batch_exp_isa, ostrell_exp, -20.0, 20.0, n);
    unary("log", ostrell_batch_log_isa, ostrell_log, 1e-3, 1e3, n);
    unary("sin", ostrell_batch_sin_isa, ostrell_sin, -10.0, 10.0, n);
    unary("cos", ostrell_batch_cos_isa, ostrell_cos, -10.0, 10.0, n);
    sincos(n);
    unary("tan", ostrell_batch_tan_isa, ostrell_tan, -10.0, 10.0, n);
    binary("pow", ostrell_batch_pow_isa, ostrell_pow, 0.5, 100.0, -10.0, 10.0, n);
    unary("sinh", ostrell_batch_sinh_isa, ostrell_sinh, -5.0, 5.0, n);
    unary("cosh", ostrell_batch_cosh_isa, ostrell_cosh, -5.0, 5.0, n);
    unary("tanh", ostrell_batch_tanh_isa, ostrell_tanh, -5.0, 5.0, n);
    unary("atan", ostrell_batch_atan_isa, ostrell_atan, -10.0, 10.0, n);
    binary("atan2", ostrell_batch_atan2_isa, ostrell_atan2, -10.0, 10.0, -10.0, 10.0, n);
    unary("asin", ostrell_batch_asin_isa, ostrell_asin, -1.0, 1.0, n);
    unary("acos", ostrell_batch_acos_isa, ostrell_acos, -1.0, 1.0, n);
    unary("floor", ostrell_batch_floor_isa, ostrell_floor, -1e6, 1e6, n);
    unary("ceil", ostrell_batch_ceil_isa, ostrell_ceil, -1e6, 1e6, n);
    unary("trunc", ostrell_batch_trunc_isa, ostrell_trunc, -1e6, 1e6, n);
    unary("round", ostrell_batch_round_isa, ostrell_round, -1e6, 1e6, n);
    binary("fmod", ostrell_batch_fmod_isa, ostrell_fmod, -1e6, 1e6, 1.0, 100.0, n);
    std::printf("with NaN rows (recomputed one by one by the scalar function):\n");
    unary("exp 1%", ostrell_batch_exp_isa, ostrell_exp, -20.0, 20.0, n, 100);
    unary("exp 10%", ostrell_batch_exp_isa, ostrell_exp, -20.0, 20.0, n, 10);
    unary("sin 1%", ostrell_batch_sin_isa, ostrell_sin, -10.0, 10.0, n, 100);
    unary("sin 10%", ostrell_batch_sin_isa, ostrell_sin, -10.0, 10.0, n, 10);
    return 0;
}
