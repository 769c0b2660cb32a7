// ns per call of the circular and inverse circular functions, next to the
// binary64 libm functions on the high parts of the same operands.
#include <cmath>

#include "bench.hpp"
#include "ostrell_math.h"

namespace {

constexpr size_t n = 1 << 14;

std::vector<double> highs(const std::vector<ostrell_t>& v)
{
    std::vector<double> h(v.size());
    for (size_t i = 0; i < v.size(); ++i) h[i] = _mm_cvtsd_f64(v[i]);
    return h;
}

template <class F, class G>
void unary(const char* name, const std::vector<ostrell_t>& x, F f, G g)
{
    std::vector<double> xd = highs(x);
    double ns = bench::ns_per_call(n, [&](size_t i) { bench::keep(f(x[i])); });
    double base = bench::ns_per_call(n, [&](size_t i) { bench::keep(g(xd[i])); });
    bench::row(name, ns, base);
}

} // namespace

int main()
{
    std::vector<ostrell_t> wide = bench::operands(n, -100.0, 100.0, 1);
    std::vector<ostrell_t> unit = bench::operands(n, -0.999, 0.999, 2);
    std::vector<ostrell_t> big = bench::operands(n, 1e16, 1e18, 3);
    std::vector<ostrell_t> other = bench::operands(n, -100.0, 100.0, 4);

    bench::header("circular functions, |x| < 100");
    unary("sin", wide, ostrell_sin, [](double d) { return std::sin(d); });
    unary("cos", wide, ostrell_cos, [](double d) { return std::cos(d); });
    unary("tan", wide, ostrell_tan, [](double d) { return std::tan(d); });
    {
        std::vector<double> xd = highs(wide);
        double ns = bench::ns_per_call(n, [&](size_t i) {
            ostrell_t s, c;
            ostrell_sincos(wide[i], &s, &c);
            bench::keep(s);
            bench::keep(c);
        });
        double base = bench::ns_per_call(n, [&](size_t i) {
            bench::keep(std::sin(xd[i]));
            bench::keep(std::cos(xd[i]));
        });
        bench::row("sincos", ns, base);
    }

    bench::header("circular functions, 1e16 < x < 1e18 (k from both parts)");
    unary("sin", big, ostrell_sin, [](double d) { return std::sin(d); });

    bench::header("inverse circular functions");
    unary("atan", wide, ostrell_atan, [](double d) { return std::atan(d); });
    unary("asin", unit, ostrell_asin, [](double d) { return std::asin(d); });
    unary("acos", unit, ostrell_acos, [](double d) { return std::acos(d); });
    {
        std::vector<double> yd = highs(wide), xd = highs(other);
        double ns = bench::ns_per_call(n, [&](size_t i) { bench::keep(ostrell_atan2(wide[i], other[i])); });
        double base = bench::ns_per_call(n, [&](size_t i) { bench::keep(std::atan2(yd[i], xd[i])); });
        bench::row("atan2", ns, base);
    }
    return 0;
}
