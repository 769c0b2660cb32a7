// ns per call of ostrell next to the QD library's dd_real and binary64 libm,
// all measured in the same run on the same operands (dd_real and ostrell get
// the same pairs; libm gets their high parts).
//
// QD is linked as a peer for comparison only.  Its configuration header
// decides the algorithms its inline operators use; we print them so the
// table says what was compared.  Everything here is built for the x86-64
// baseline with -ffp-contract=off, so neither side can use FMA.  QD's inline
// operators are compiled here; its out-of-line functions (sqrt, exp, log, sin,
// atan) come from the installed libqd, which can be checked with
//   objdump -d /usr/lib/x86_64-linux-gnu/libqd.so.0 | grep -c 'vfn\?m\(add\|sub\)'
// (0 for Debian's libqd-dev 2.3.23: no FMA, indeed no VEX-encoded instruction).
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

#include <qd/dd_real.h>

#include "bench.hpp"
#include "ostrell_math.h"

namespace {

constexpr size_t n = 1 << 14;

struct Operands {
    std::vector<ostrell_t> os;
    std::vector<dd_real> qd;
    std::vector<double> d;
    explicit Operands(std::vector<ostrell_t> v) : os(std::move(v))
    {
        for (ostrell_t x : os) {
            double h, l;
            ostrell_extract(x, &h, &l);
            qd.emplace_back(h, l);
            d.push_back(h);
        }
    }
};

void header()
{
    std::printf("| operation | ostrell ns | QD dd_real ns | binary64 ns | ostrell / QD | ostrell / binary64 |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
}

void row(const char* name, double os, double qd, double d)
{
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.1f |\n", name, os, qd, d, os / qd, os / d);
}

template <class F, class G, class H>
void unary(const char* name, const Operands& x, F f, G g, H h)
{
    double os = bench::ns_per_call(n, [&](size_t i) { bench::keep(f(x.os[i])); });
    double qd = bench::ns_per_call(n, [&](size_t i) {
        dd_real r = g(x.qd[i]);
        bench::keep(r.x[0]);
        bench::keep(r.x[1]);
    });
    double d = bench::ns_per_call(n, [&](size_t i) { bench::keep(h(x.d[i])); });
    row(name, os, qd, d);
}

template <class F, class G, class H>
void binary(const char* name, const Operands& a, const Operands& b, F f, G g, H h)
{
    double os = bench::ns_per_call(n, [&](size_t i) { bench::keep(f(a.os[i], b.os[i])); });
    double qd = bench::ns_per_call(n, [&](size_t i) {
        dd_real r = g(a.qd[i], b.qd[i]);
        bench::keep(r.x[0]);
        bench::keep(r.x[1]);
    });
    double d = bench::ns_per_call(n, [&](size_t i) { bench::keep(h(a.d[i], b.d[i])); });
    row(name, os, qd, d);
}

} // namespace

int main()
{
    std::printf("Machine: %s\nDate: %s\nCompiler: %s, -O2 -ffp-contract=off, x86-64 baseline (SSE2)\n",
                bench::cpu_model().c_str(), bench::utc_now("%Y-%m-%d").c_str(), __VERSION__);
#ifdef QD_FMA
    std::printf("QD: QD_FMA defined (FMA in two_prod)\n");
#else
    std::printf("QD: QD_FMA undefined (two_prod by splitting)");
#endif
#ifdef QD_IEEE_ADD
    std::printf(", operator+ = ieee_add");
#else
    std::printf(", operator+ = sloppy_add");
#endif
#ifdef QD_SLOPPY_DIV
    std::printf(", operator/ = sloppy_div\n");
#else
    std::printf(", operator/ = accurate_div\n");
#endif
    std::printf("Rerun: cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && "
                "cmake --build build -j2 --target bench_peers && build/benchmarks/bench_peers\n");
    std::printf("ns per call on %zu independent operands, best of 7 passes\n\n", n);

    Operands a(bench::operands(n, -100.0, 100.0, 1));
    Operands b(bench::operands(n, -100.0, 100.0, 2));
    Operands pos(bench::operands(n, 1e-3, 1e3, 3));
    Operands expo(bench::operands(n, -50.0, 50.0, 4));
    Operands trig(bench::operands(n, -10.0, 10.0, 5));

    header();
    binary("add", a, b, ostrell_add, [](const dd_real& x, const dd_real& y) { return x + y; },
           [](double x, double y) { return x + y; });
    binary("add (QD ieee_add)", a, b, ostrell_add, dd_real::ieee_add,
           [](double x, double y) { return x + y; });
    binary("mul", a, b, ostrell_mul, [](const dd_real& x, const dd_real& y) { return x * y; },
           [](double x, double y) { return x * y; });
    binary("div", a, b, ostrell_div, [](const dd_real& x, const dd_real& y) { return x / y; },
           [](double x, double y) { return x / y; });
    binary("div (QD accurate_div)", a, b, ostrell_div, dd_real::accurate_div,
           [](double x, double y) { return x / y; });
    unary("sqrt, 1e-3 < x < 1e3", pos, ostrell_sqrt, [](const dd_real& x) { return sqrt(x); },
          [](double x) { return std::sqrt(x); });
    unary("exp, \\|x\\| < 50", expo, ostrell_exp, [](const dd_real& x) { return exp(x); },
          [](double x) { return std::exp(x); });
    unary("log, 1e-3 < x < 1e3", pos, ostrell_log, [](const dd_real& x) { return log(x); },
          [](double x) { return std::log(x); });
    unary("sin, \\|x\\| < 10", trig, ostrell_sin, [](const dd_real& x) { return sin(x); },
          [](double x) { return std::sin(x); });
    unary("atan, \\|x\\| < 100", a, ostrell_atan, [](const dd_real& x) { return atan(x); },
          [](double x) { return std::atan(x); });
    return 0;
}
