// Throughput of the plain complex arithmetic, next to std::complex<double>
// in the same run.
#include <complex>
#include <cstdio>

#include "bench.hpp"
#include "ostrell_complex.h"

int main()
{
    const size_t n = 1 << 15;
    auto re_a = bench::operands(n, 0.5, 2.0, 1), im_a = bench::operands(n, -2.0, 2.0, 2);
    auto re_b = bench::operands(n, -2.0, 2.0, 3), im_b = bench::operands(n, 0.5, 2.0, 4);
    std::vector<ostrell_complex> a(n), b(n);
    std::vector<std::complex<double>> da(n), db(n);
    for (size_t i = 0; i < n; ++i) {
        a[i] = {re_a[i], im_a[i]};
        b[i] = {re_b[i], im_b[i]};
        da[i] = {_mm_cvtsd_f64(re_a[i]), _mm_cvtsd_f64(im_a[i])};
        db[i] = {_mm_cvtsd_f64(re_b[i]), _mm_cvtsd_f64(im_b[i])};
    }
    auto keep = [](const ostrell_complex& z) { bench::keep(z.real); bench::keep(z.imag); };
    auto cc = [&](auto op) { return bench::ns_per_call(n, [&](size_t i) { keep(op(a[i], b[i])); }, 30); };
    auto d = [&](auto op) {
        return bench::ns_per_call(n, [&](size_t i) { auto z = op(da[i], db[i]); bench::keep(z.real()); bench::keep(z.imag()); }, 30);
    };

    std::printf("ostrell complex arithmetic, ns per call (independent operands, best of 30 runs over %zu);\n"
                "baseline: std::complex<double>\n", n);
    bench::header("complex");
    using C = std::complex<double>;
    double add64 = d([](C x, C y) { return x + y; });
    double mul64 = d([](C x, C y) { return x * y; });
    double div64 = d([](C x, C y) { return x / y; });
    bench::row("add", cc(ostrell_complex_add), add64);
    bench::row("sub", cc(ostrell_complex_sub), add64);
    bench::row("mul", cc(ostrell_complex_mul), mul64);
    bench::row("div", cc(ostrell_complex_div), div64);
    auto abs_time = bench::ns_per_call(n, [&](size_t i) { bench::keep(ostrell_complex_abs(a[i])); }, 30);
    auto abs64 = bench::ns_per_call(n, [&](size_t i) { bench::keep(std::abs(da[i])); }, 30);
    bench::row("abs", abs_time, abs64);
    return 0;
}
