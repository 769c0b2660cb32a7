// Throughput of the kernel operations on independent operands, next to the
// binary64 operation in the same run.
#include <cmath>
#include <cstdio>

#include "bench.hpp"
#include "ostrell.h"

int main()
{
    const size_t n = 1 << 16;
    auto a = bench::operands(n, 0.5, 2.0, 1), b = bench::operands(n, 0.5, 2.0, 2);
    std::vector<double> da(n), db(n);
    for (size_t i = 0; i < n; ++i) {
        da[i] = _mm_cvtsd_f64(a[i]);
        db[i] = _mm_cvtsd_f64(b[i]);
    }
    auto dd = [&](auto op) { return bench::ns_per_call(n, [&](size_t i) { bench::keep(op(a[i], b[i])); }, 50); };
    auto d = [&](auto op) { return bench::ns_per_call(n, [&](size_t i) { bench::keep(op(da[i], db[i])); }, 50); };

    std::printf("ostrell kernel operations, ns per call (independent operands, best of 50 runs over %zu)\n", n);
    bench::header("arithmetic");
    double add64 = d([](double x, double y) { return x + y; });
    double mul64 = d([](double x, double y) { return x * y; });
    double div64 = d([](double x, double y) { return x / y; });
    double sqrt64 = d([](double x, double) { return std::sqrt(x); });
    bench::row("add", dd(ostrell_add), add64);
    bench::row("sub", dd(ostrell_sub), add64);
    bench::row("mul", dd(ostrell_mul), mul64);
    bench::row("div", dd(ostrell_div), div64);
    bench::row("sqrt", dd([](ostrell_t x, ostrell_t) { return ostrell_sqrt(x); }), sqrt64);
    return 0;
}
