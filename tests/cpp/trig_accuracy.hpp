// Accuracy sweeps of the circular and inverse circular functions against
// MPFR: the worst error of a range, in units of 2^-104, with its argument.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

#include "test_util.hpp"

namespace test {

// |got - ref| / max(|ref|, floor) in units of 2^-104: relative for floor 0,
// absolute wherever |ref| < floor.
inline double scaled_err(ostrell_t got, const mpfr_t ref, double floor)
{
    Mp d(2200), den(64);
    Mp::of(d.v, got);
    mpfr_sub(d.v, d.v, ref, MPFR_RNDN);
    mpfr_abs(d.v, d.v, MPFR_RNDN);
    mpfr_abs(den.v, ref, MPFR_RNDN);
    if (mpfr_cmp_d(den.v, floor) < 0) mpfr_set_d(den.v, floor, MPFR_RNDN);
    if (!mpfr_zero_p(den.v)) mpfr_div(d.v, d.v, den.v, MPFR_RNDN);
    mpfr_mul_2si(d.v, d.v, 104, MPFR_RNDN);
    return mpfr_get_d(d.v, MPFR_RNDN);
}

// Worst case of one function over one range.
struct Worst {
    explicit Worst(std::string w) : what(std::move(w)) {}
    std::string what;
    double err = 0;
    std::string args;
    void see(double e, const std::string& a)
    {
        if (e > err || e != e) { err = e; args = a; }
    }
    ~Worst() { std::printf("  max error %-34s %12.4g units of 2^-104  at %s\n", what.c_str(), err, args.c_str()); }
};

// Log-uniform magnitude in [a, b), random sign.
inline double log_uniform(std::mt19937_64& rng, double a, double b)
{
    std::uniform_real_distribution<double> u(std::log(a), std::log(b));
    double d = std::exp(u(rng));
    return (rng() & 1) ? -d : d;
}

} // namespace test
