// ns per call of exp, log, pow, sinh, cosh, tanh, floor and fmod, next to
// the binary64 libm function on the high parts of the same operands.
#include <cmath>

#include "bench.hpp"
#include "ostrell_math.h"

namespace {

const size_t N = 1 << 14;

template <class V> std::vector<double> highs(const V& v)
{
    std::vector<double> h(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        double lo;
        ostrell_extract(v[i], &h[i], &lo);
    }
    return h;
}

void unary(const char* name, ostrell_t (*f)(ostrell_t), double (*g)(double), double a, double b, unsigned seed)
{
    auto x = bench::operands(N, a, b, seed);
    auto xh = highs(x);
    double ns = bench::ns_per_call(N, [&](size_t i) { bench::keep(f(x[i])); });
    double base = bench::ns_per_call(N, [&](size_t i) { bench::keep(g(xh[i])); });
    bench::row(name, ns, base);
}

void binary(const char* name, ostrell_t (*f)(ostrell_t, ostrell_t), double (*g)(double, double),
            double a0, double a1, double b0, double b1, unsigned seed)
{
    auto x = bench::operands(N, a0, a1, seed), y = bench::operands(N, b0, b1, seed + 1);
    auto xh = highs(x), yh = highs(y);
    double ns = bench::ns_per_call(N, [&](size_t i) { bench::keep(f(x[i], y[i])); });
    double base = bench::ns_per_call(N, [&](size_t i) { bench::keep(g(xh[i], yh[i])); });
    bench::row(name, ns, base);
}

double exp_d(double x) { return std::exp(x); }
double log_d(double x) { return std::log(x); }
double pow_d(double x, double y) { return std::pow(x, y); }
double sinh_d(double x) { return std::sinh(x); }
double cosh_d(double x) { return std::cosh(x); }
double tanh_d(double x) { return std::tanh(x); }
double floor_d(double x) { return std::floor(x); }
double fmod_d(double x, double y) { return std::fmod(x, y); }

} // namespace

int main()
{
    bench::header("exponential, logarithm, power, hyperbolic, rounding (baseline: libm on the high part)");
    unary("exp", ostrell_exp, exp_d, -20.0, 20.0, 1);
    unary("log", ostrell_log, log_d, 1e-3, 1e3, 2);
    binary("pow", ostrell_pow, pow_d, 0.5, 100.0, -10.0, 10.0, 3);
    unary("sinh", ostrell_sinh, sinh_d, -5.0, 5.0, 4);
    unary("sinh tiny", ostrell_sinh, sinh_d, -1e-4, 1e-4, 5);
    unary("cosh", ostrell_cosh, cosh_d, -5.0, 5.0, 6);
    unary("tanh", ostrell_tanh, tanh_d, -5.0, 5.0, 7);
    unary("floor", ostrell_floor, floor_d, -1e6, 1e6, 8);
    binary("fmod", ostrell_fmod, fmod_d, -1e6, 1e6, 1.0, 100.0, 9);
    return 0;
}
