// Exact decimal text (ostrell_text.h) against the fixed-bits conversions of
// ostrell_io.h, timed in the same run: ns per value of ostrell_format with 32
// and 34 digits and shortest, and of ostrell_parse, each with the ratio to
// ostrell_to_string / ostrell_from_string on the same values and texts.
// Canonical pairs over the whole exponent range and in [1e-4, 1e15), and
// plain binary64 values (lo = 0, whose shortest text is their exact expansion
// or nearly: the slow case).
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench.hpp"
#include "ostrell_io.h"
#include "ostrell_text.h"

namespace {

// n canonical pairs: hi with a uniform exponent in [e_lo, e_hi), lo a random
// fraction of half an ulp, then a fast-two-sum.
std::vector<ostrell_t> pairs(size_t n, double e_lo, double e_hi, unsigned seed, bool plain)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> e(e_lo, e_hi), m(1.0, 2.0), f(-0.5, 0.5);
    std::vector<ostrell_t> v(n);
    for (auto& x : v) {
        double hi = std::ldexp(m(rng), int(e(rng)));
        if (rng() & 1) hi = -hi;
        double lo = plain ? 0.0 : f(rng) * std::ldexp(std::fabs(hi), -52);
        double s = hi + lo;
        x = ostrell_from_hi_lo(s, lo - (s - hi));
    }
    return v;
}

void row(const char* name, double ns, double base)
{
    std::printf("  %-26s %9.1f ns %9.1f ns %7.2fx\n", name, ns, base, ns / base);
}

} // namespace

int main()
{
    const size_t n = 4000;
    const int reps = 11;
    char buf[1024];
    std::printf("exact decimal text vs ostrell_to_string / ostrell_from_string (min of %d runs, %zu values)\n",
                reps, n);
    std::printf("CPU: %s, %s\n", bench::cpu_model().c_str(), bench::utc_now("%Y-%m-%d %H:%M UTC").c_str());
    struct { const char* name; double e_lo, e_hi; bool plain; } ranges[] = {
        {"whole range", -1022.0, 1023.0, false}, {"[1e-4, 1e15)", -13.3, 49.8, false},
        {"plain doubles, whole range", -1022.0, 1023.0, true}};
    for (const auto& r : ranges) {
        auto v = pairs(n, r.e_lo, r.e_hi, 7, r.plain);
        std::printf("\n%-28s%14s %12s %8s\n", r.name, "ns", "reference ns", "ratio");
        double ref_print = bench::ns_per_call(n, [&](size_t i) {
            ostrell_to_string(buf, sizeof buf, v[i]);
            bench::keep(int(buf[3]));
        }, reps);
        for (int d : {32, 34, 0}) {
            double ns = bench::ns_per_call(n, [&](size_t i) {
                bench::keep(int(ostrell_format(buf, sizeof buf, v[i], d)));
            }, reps);
            std::string name = d ? "format, " + std::to_string(d) + " digits" : std::string("format, shortest");
            row(name.c_str(), ns, ref_print);
        }
        for (int d : {32, 0}) {
            std::vector<std::string> texts(n);
            for (size_t i = 0; i < n; ++i) {
                ostrell_format(buf, sizeof buf, v[i], d);
                texts[i] = buf;
            }
            double ref = bench::ns_per_call(n, [&](size_t i) { bench::keep(ostrell_from_string(texts[i].c_str())); },
                                            reps);
            double ns = bench::ns_per_call(n, [&](size_t i) {
                ostrell_t x;
                const char* end;
                const std::string& t = texts[i];
                ostrell_parse(t.data(), t.data() + t.size(), &x, &end);
                bench::keep(x);
            }, reps);
            row(d ? "parse, 32-digit texts" : "parse, shortest texts", ns, ref);
        }
    }
    return 0;
}
