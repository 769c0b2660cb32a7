// Accuracy sweeps against MPFR for the unary elementary functions: random
// arguments drawn from a range, the maximum relative error in units of
// 2^-104, and the argument where it occurred (as bits, for replay).
#pragma once

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "test_util.hpp"

namespace acc {

using test::with_random_low;

using MpFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
// The vector type wrapped in a struct: __m128d as a template argument would
// drop its alignment attributes (and GCC warns about it).
struct Arg {
    ostrell_t v;
    Arg(ostrell_t x) : v(x) {}
    operator ostrell_t() const { return v; }
};
using Gen = std::function<Arg(std::mt19937_64&)>;

// High part uniform in [a, b].
inline Gen uniform(double a, double b)
{
    return [a, b](std::mt19937_64& rng) {
        std::uniform_real_distribution<double> u(a, b);
        return with_random_low(rng, u(rng));
    };
}

// Magnitude log-uniform in [2^ea, 2^eb], sign as given (0: random sign).
inline Gen log_uniform(double ea, double eb, int sign = 1)
{
    return [ea, eb, sign](std::mt19937_64& rng) {
        std::uniform_real_distribution<double> u(ea, eb);
        double h = std::exp2(u(rng));
        if (sign < 0 || (sign == 0 && (rng() & 1))) h = -h;
        return with_random_low(rng, h);
    };
}

struct Worst {
    double units = 0;      // max relative error, units of 2^-104
    double abs_units = 0;  // max absolute error, units of 2^-104
    double mixed_units = 0;  // max |x - ref| / max(1, |ref|), units of 2^-104
    ostrell_t arg = ostrell_from_double(0.0);
    ostrell_t got = ostrell_from_double(0.0);
};

// Maximum relative error of f against the MPFR function ref over n arguments.
inline Worst sweep(ostrell_t (*f)(ostrell_t), MpFn ref, const Gen& gen, int n, unsigned seed)
{
    std::mt19937_64 rng(seed);
    // The pair is summed exactly, then rounded to 400 bits (a perturbation of
    // 2^-400, far below what is measured) so MPFR works at a modest precision.
    test::Mp exact(2200), x(400), y(320);
    Worst w;
    for (int k = 0; k < n; ++k) {
        ostrell_t a = gen(rng);
        test::Mp::of(exact.v, a);
        mpfr_set(x.v, exact.v, MPFR_RNDN);
        ref(y.v, x.v, MPFR_RNDN);
        ostrell_t r = f(a);
        double e = test::err_units(r, y.v);
        if (!(e <= w.units)) { w.units = e; w.arg = a; w.got = r; }
        double ea = e * std::fabs(mpfr_get_d(y.v, MPFR_RNDN));
        if (mpfr_zero_p(y.v)) ea = e;
        if (!(ea <= w.abs_units)) w.abs_units = ea;
        double em = e * std::min(1.0, std::fabs(mpfr_get_d(y.v, MPFR_RNDN)));
        if (!(em <= w.mixed_units)) w.mixed_units = em;
    }
    return w;
}

inline void report(const char* fn, const char* range, const Worst& w)
{
    std::printf("  %-5s %-36s max %10.4g units of 2^-104 (%.3g rel, %.3g abs) at %s\n", fn, range, w.units,
                w.units * 0x1p-104, w.abs_units * 0x1p-104, test::hex(w.arg).c_str());
}

// Bounds in units of 2^-104: on the relative error, or where `absolute` on
// the absolute error, or where `mixed` on |x - ref| / max(1, |ref|).
enum Measure { rel, absolute, mixed };
struct Case { const char* range; Gen gen; double bound; Measure m = rel; };

inline void check(const char* fn, ostrell_t (*f)(ostrell_t), MpFn ref, const std::vector<Case>& cases, int n)
{
    unsigned seed = 1;
    for (const Case& c : cases) {
        Worst w = sweep(f, ref, c.gen, n, seed++);
        report(fn, c.range, w);
        double e = c.m == rel ? w.units : c.m == absolute ? w.abs_units : w.mixed_units;
        EXPECT_LE(e, c.bound)
            << fn << " " << c.range << " at " << test::hex(w.arg) << " gave " << test::hex(w.got);
    }
}

} // namespace acc
