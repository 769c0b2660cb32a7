// The matrix product and the solvers on n x n random matrices (default 500):
// ns per multiply-add of ostrell_gemm on every path this CPU has with one
// and two threads, against the one-element-at-a-time loop of the scalar
// kernel timed in the same run; solve, LU, Cholesky and inverse as a
// fraction of the product's time; and Eigen's own LU on float128 (its scalar
// code through the generic traits) for the same solve.  Best of 11 runs.
//   bench_gemm [n] [repeats]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "bench.hpp"
#include "ostrell_linalg.h"
#ifdef OSTRELL_HAVE_EIGEN
#include <Eigen/Dense>

#include "ostrell_eigen.hpp"
#endif

namespace {

std::vector<double> random_matrix(size_t rows, size_t cols, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(2 * rows * cols);
    for (size_t i = 0; i < rows * cols; ++i) {
        v[2 * i] = u(rng);
        v[2 * i + 1] = v[2 * i] * 0x1p-54 * u(rng);
    }
    return v;
}

// Best times of f and of g, run alternately (load on a shared machine then
// hits both alike).
template <class F, class G> std::pair<double, double> best_pair(int reps, F&& f, G&& g)
{
    double bf = 1e300, bg = 1e300;
    for (int r = 0; r < reps; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        g();
        auto t2 = std::chrono::steady_clock::now();
        bf = std::min(bf, std::chrono::duration<double>(t1 - t0).count());
        bg = std::min(bg, std::chrono::duration<double>(t2 - t1).count());
    }
    return {bf, bg};
}

template <class F> double best_seconds(int reps, F&& f)
{
    double best = 1e300;
    for (int r = 0; r < reps; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

const char* isa_name(ostrell_isa isa)
{
    return isa == OSTRELL_ISA_AVX512 ? "avx512" : isa == OSTRELL_ISA_AVX2 ? "avx2" : "sse2";
}

}  // namespace

int main(int argc, char** argv)
{
    size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 500;
    int reps = argc > 2 ? std::atoi(argv[2]) : 11;
    double madds = double(n) * double(n) * double(n);
    std::printf("bench_gemm %zu %d   CPU: %s   %s\n", n, reps, bench::cpu_model().c_str(),
                bench::utc_now("%Y-%m-%d %H:%M UTC").c_str());
    auto a = random_matrix(n, n, 1), b = random_matrix(n, n, 2);
    std::vector<double> c(2 * n * n);

    // Reference: each element by the scalar kernel's fold, one at a time
    // (timed on a band of rows, scaled per multiply-add).
    size_t band = std::max<size_t>(1, n / 25);
    double t_ref = best_seconds(std::max(3, reps / 3), [&] {
                       for (size_t i = 0; i < band; ++i)
                           for (size_t j = 0; j < n; ++j) {
                               ostrell_t acc = _mm_setzero_pd();
                               for (size_t k = 0; k < n; ++k)
                                   acc = ostrell_add(acc, ostrell_mul(_mm_loadu_pd(&a[2 * (i * n + k)]),
                                                                      _mm_loadu_pd(&b[2 * (k * n + j)])));
                               _mm_storeu_pd(&c[2 * (i * n + j)], acc);
                           }
                   }) / (double(band) * n * n);
    std::printf("\n%-28s %10s %12s %8s\n", "product", "seconds", "ns/madd", "speed-up");
    std::printf("%-28s %10s %12.2f %8.1f\n", "scalar fold, element by element", "-", t_ref * 1e9, 1.0);
    for (ostrell_isa isa : {OSTRELL_ISA_SSE2, OSTRELL_ISA_AVX2, OSTRELL_ISA_AVX512}) {
        if (!ostrell_isa_supported(isa))
            continue;
        for (unsigned threads : {1u, 2u}) {
            double t = best_seconds(reps, [&] {
                ostrell_gemm_isa(isa, threads, 0, n, n, n, a.data(), n, b.data(), n, c.data(), n);
            });
            char name[64];
            std::snprintf(name, sizeof name, "ostrell_gemm %s, %u thread%s", isa_name(isa), threads,
                          threads > 1 ? "s" : "");
            std::printf("%-28s %10.4f %12.3f %8.1f\n", name, t, t / madds * 1e9, t_ref / (t / madds));
        }
    }
    // Solvers, single thread on the best path, each timed alternately with
    // the product (best path, one thread) and given as a fraction of it.
    auto product = [&] { ostrell_gemm(0, n, n, n, a.data(), n, b.data(), n, c.data(), n); };
    auto rhs = random_matrix(n, 1, 3);
    std::vector<double> lu(a.size()), x(rhs.size());
    std::vector<size_t> piv(n);
    // A symmetric positive definite matrix for Cholesky: A A^T + n I.
    std::vector<double> at(a.size()), spd(a.size());
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            at[2 * (j * n + i)] = a[2 * (i * n + j)];
            at[2 * (j * n + i) + 1] = a[2 * (i * n + j) + 1];
        }
    ostrell_gemm(0, n, n, n, a.data(), n, at.data(), n, spd.data(), n);
    for (size_t i = 0; i < n; ++i)
        spd[2 * (i * n + i)] += double(n);
    std::printf("\n%-28s %10s %12s\n", "solver (best path, 1 thread)", "seconds", "/ product");
    auto report = [&](const char* name, std::pair<double, double> t) {
        std::printf("%-28s %10.4f %12.3f\n", name, t.first, t.first / t.second);
        return t.first;
    };
    double t_solve = report("ostrell_solve, 1 rhs", best_pair(reps, [&] {
                                lu = a;
                                x = rhs;
                                ostrell_solve(n, 1, lu.data(), n, x.data(), 1);
                            }, product));
    report("ostrell_lu", best_pair(reps, [&] {
               lu = a;
               ostrell_lu(n, lu.data(), n, piv.data());
           }, product));
    report("ostrell_cholesky", best_pair(reps, [&] {
               lu = spd;
               ostrell_cholesky(n, lu.data(), n);
           }, product));
    report("ostrell_inv", best_pair(std::max(3, reps / 3), [&] {
               lu = a;
               ostrell_inv(n, lu.data(), n);
           }, product));
#ifdef OSTRELL_HAVE_EIGEN
    {
        using F = ostrell::float128;
        using M = Eigen::Matrix<F, Eigen::Dynamic, Eigen::Dynamic>;
        M ea(n, n);
        Eigen::Matrix<F, Eigen::Dynamic, 1> eb(n);
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = 0; j < n; ++j)
                ea(i, j) = F(_mm_loadu_pd(&a[2 * (i * n + j)]));
            eb(i) = F(_mm_loadu_pd(&rhs[2 * i]));
        }
        Eigen::Matrix<F, Eigen::Dynamic, 1> ex;
        auto t = best_pair(std::max(3, reps / 3), [&] { ex = ea.partialPivLu().solve(eb); }, product);
        std::printf("%-28s %10.4f %12.3f   (ostrell_solve %.1fx faster)\n",
                    "Eigen partialPivLu float128", t.first, t.first / t.second, t.first / t_solve);
        bench::keep(ex(0).data);
    }
#endif
    bench::keep(c[0]);
    bench::keep(lu[0]);
    bench::keep(x[0]);
    return 0;
}
