// Minimal timing harness for the C++ benchmarks: ns per call on independent
// operands, best of several repetitions, printed as a table with the binary64
// baseline measured in the same run.
#pragma once

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ostrell.h"

namespace bench {

// Keeps a value alive so the optimiser cannot drop the work.
template <class T> inline void keep(const T& v) { asm volatile("" : : "x"(v) : "memory"); }
inline void keep(double v) { asm volatile("" : : "x"(v) : "memory"); }
inline void keep(int v) { asm volatile("" : : "r"(v) : "memory"); }

// Best-of-reps ns per call of f(i) for i in [0, n).
template <class F> double ns_per_call(size_t n, F&& f, int reps = 7)
{
    double best = 1e300;
    for (int r = 0; r < reps; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        for (size_t i = 0; i < n; ++i) f(i);
        auto t1 = std::chrono::steady_clock::now();
        double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / double(n);
        if (ns < best) best = ns;
    }
    return best;
}

// Operands: n normalised pairs with high parts in [lo_val, hi_val).
inline std::vector<ostrell_t> operands(size_t n, double lo_val, double hi_val, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(lo_val, hi_val), f(-1.0, 1.0);
    std::vector<ostrell_t> v(n);
    for (auto& x : v) {
        double h = u(rng);
        v[&x - v.data()] = ostrell_from_hi_lo(h, h * 1e-17 * f(rng));
    }
    return v;
}

// The processor's name from /proc/cpuinfo, for the header of a benchmark's output.
inline std::string cpu_model()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

// The time of the run in UTC, formatted by strftime's format.
inline std::string utc_now(const char* format)
{
    char buf[32];
    std::time_t t = std::time(nullptr);
    std::strftime(buf, sizeof buf, format, std::gmtime(&t));
    return buf;
}

inline void header(const char* title)
{
    std::printf("\n%s\n%-12s %12s %12s %8s\n", title, "operation", "ostrell ns", "binary64 ns", "ratio");
}
inline void row(const char* name, double ns, double base_ns)
{
    if (base_ns > 0)
        std::printf("%-12s %12.2f %12.2f %8.1f\n", name, ns, base_ns, ns / base_ns);
    else
        std::printf("%-12s %12.2f %12s %8s\n", name, ns, "-", "-");
}

} // namespace bench
