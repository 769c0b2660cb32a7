// Accuracy table: maximum and median error of every real and complex function
// over stated ranges, against MPFR at 300 bits, in units of 2^-104, next to the
// QD library's dd_real on the same inputs where it has the function.
//
// Error = |result - reference| / max(|reference|, floor) * 2^104: relative,
// and absolute where |reference| falls below the row's floor (near zeros of
// the function).  Complex errors are normwise: |z - ref| / |ref|.  Results are
// taken exactly (hi + lo in 2200-bit MPFR numbers).  A non-finite result for
// a finite reference is counted separately, not folded into the statistics.
//
// Decimal text rows: parsing against the exact value of the text, printing
// (32 truncated digits) against the exact value printed.  Rows where sampling
// under-reports get a targeted worst-case search: the worst samples and
// inputs dense near the known weak points (series cut-offs, ±1, multiples of
// π/2), refined by random local steps; a second table gives both maxima.
//
//   accuracy [samples per row]      (default 20000; prints a Markdown table)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <mpfr.h>

#include "ostrell.hpp"
#include "ostrell_math.h"
#include "ostrell_text.h"
#include "ostrell_utils.h"

#ifdef OSTRELL_HAVE_QD
#include <qd/dd_real.h>
#endif
#if __has_include("ostrell_complex.hpp")
#include "ostrell_complex.hpp"
#define OSTRELL_ACCURACY_COMPLEX 1
#endif

namespace {

constexpr mpfr_prec_t ref_prec = 300;
constexpr mpfr_prec_t exact_prec = 2200; // holds any hi + lo exactly

using Rng = std::mt19937_64;

// RAII MPFR number.
struct Mp {
    mpfr_t v;
    explicit Mp(mpfr_prec_t p = exact_prec) { mpfr_init2(v, p); }
    ~Mp() { mpfr_clear(v); }
    Mp(const Mp&) = delete;
    Mp& operator=(const Mp&) = delete;
    operator mpfr_ptr() { return v; }
};

void set_pair(mpfr_t out, double hi, double lo)
{
    mpfr_set_d(out, hi, MPFR_RNDN);
    mpfr_add_d(out, out, lo, MPFR_RNDN);
}
void set_pair(mpfr_t out, ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    set_pair(out, hi, lo);
}

std::string hex(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%a, %a)", hi, lo);
    return buf;
}

// ---- inputs ----------------------------------------------------------------

// A normalised pair with high part h and a random low part within half an ulp.
ostrell_t with_low(Rng& rng, double h)
{
    if (h == 0 || !std::isfinite(h)) return ostrell_from_double(h);
    std::uniform_real_distribution<double> f(-0.5, 0.5);
    double l = f(rng) * std::ldexp(1.0, std::ilogb(h) - 52);
    double s = h + l;
    return ostrell_from_hi_lo(s, l - (s - h));
}
ostrell_t uniform(Rng& rng, double a, double b)
{
    return with_low(rng, std::uniform_real_distribution<double>(a, b)(rng));
}
// Magnitude 2^e * [1, 2) with e uniform in [emin, emax]; random sign unless positive.
ostrell_t log_uniform(Rng& rng, int emin, int emax, bool positive = false)
{
    double m = std::uniform_real_distribution<double>(1.0, 2.0)(rng);
    double h = std::ldexp(m, std::uniform_int_distribution<int>(emin, emax)(rng));
    return with_low(rng, positive || (rng() & 1) ? h : -h);
}

// ---- statistics ------------------------------------------------------------

struct Stats {
    std::vector<double> e;
    long nonfinite = 0;
    double worst = -1;
    std::string worst_args;
    void see(double err, const std::string& args)
    {
        if (std::isfinite(err)) e.push_back(err);
        else ++nonfinite;
        if (!(err <= worst)) {
            worst = err;
            worst_args = args;
        }
    }
    std::string max_median() const
    {
        if (e.empty()) return nonfinite ? "non-finite | non-finite" : "- | -";
        std::vector<double> s = e;
        std::nth_element(s.begin(), s.begin() + s.size() / 2, s.end());
        double med = s[s.size() / 2];
        double mx = *std::max_element(e.begin(), e.end());
        char buf[96];
        std::snprintf(buf, sizeof buf, "%s | %s", fmt(mx).c_str(), fmt(med).c_str());
        std::string out = buf;
        if (nonfinite) out += " (" + std::to_string(nonfinite) + " non-finite)";
        return out;
    }
    static std::string fmt(double v)
    {
        char buf[32];
        if (v < 100) std::snprintf(buf, sizeof buf, "%.2f", v);
        else std::snprintf(buf, sizeof buf, "%.3g", v);
        return buf;
    }
};

// |got - ref| / max(|ref|, floor) in units of 2^-104; got = hi + lo.
double err_units(double hi, double lo, mpfr_t ref, double floor)
{
    if (!std::isfinite(hi) || !std::isfinite(lo)) return mpfr_number_p(ref) ? INFINITY : 0.0;
    Mp d, den(64);
    set_pair(d, hi, lo);
    mpfr_sub(d, d, ref, MPFR_RNDN);
    mpfr_abs(d, d, MPFR_RNDN);
    mpfr_abs(den, ref, MPFR_RNDN);
    if (mpfr_cmp_d(den, floor) < 0) mpfr_set_d(den, floor, MPFR_RNDN);
    if (!mpfr_zero_p(den)) mpfr_div(d, d, den, MPFR_RNDN);
    mpfr_mul_2si(d, d, 104, MPFR_RNDN);
    return mpfr_get_d(d, MPFR_RNDN);
}

// ---- real rows -------------------------------------------------------------

using Gen = std::function<ostrell_t(Rng&)>;
using Os1 = ostrell_t (*)(ostrell_t);
using Os2 = ostrell_t (*)(ostrell_t, ostrell_t);
using Mpfr1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using Mpfr2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

struct Row {
    std::string fn, range;
    int arity;
    Gen gen_a, gen_b;
    Os1 os1 = nullptr;
    Os2 os2 = nullptr;
    Mpfr1 ref1 = nullptr;
    Mpfr2 ref2 = nullptr;
    double floor = 0;
    bool has_qd = true;
    // Targeted search (unary rows): weak-point inputs and the row's bounds.
    Gen weak;
    double lo_bound = 0, hi_bound = 0;
};

// Sample maximum and searched maximum of one row, for the second table.
struct Searched {
    std::string fn, range;
    double sample_max, searched_max;
    std::string at;
};
std::vector<Searched> searched_rows;

#ifdef OSTRELL_HAVE_QD
dd_real to_qd(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return dd_real(hi, lo);
}
dd_real qd_call(const std::string& fn, const dd_real& a, const dd_real& b)
{
    if (fn == "add") return a + b;
    if (fn == "sub") return a - b;
    if (fn == "mul") return a * b;
    if (fn == "div") return a / b;
    if (fn == "sqrt") return sqrt(a);
    if (fn == "exp") return exp(a);
    if (fn == "log") return log(a);
    if (fn == "pow") return pow(a, b);
    if (fn == "sin") return sin(a);
    if (fn == "cos") return cos(a);
    if (fn == "tan") return tan(a);
    if (fn == "atan") return atan(a);
    if (fn == "asin") return asin(a);
    if (fn == "acos") return acos(a);
    if (fn == "atan2") return atan2(a, b);
    if (fn == "sinh") return sinh(a);
    if (fn == "cosh") return cosh(a);
    if (fn == "tanh") return tanh(a);
    std::abort();
}
#endif

double unary_err(const Row& r, ostrell_t x)
{
    Mp a, ref(ref_prec);
    set_pair(a, x);
    r.ref1(ref, a, MPFR_RNDN);
    if (!mpfr_number_p(ref)) return -1;
    double hi, lo;
    ostrell_extract(r.os1(x), &hi, &lo);
    return err_units(hi, lo, ref, r.floor);
}

// Worst-case search for a unary row: the worst random samples and many
// weak-point inputs (series cut-offs, ±1, multiples of π/2) are the starting
// points; each is refined by random steps of relative size 2^-60 .. 2^-8
// (with a random low part), kept when the error grows, inside the row's bounds.
void search_row(const Row& r, std::vector<std::pair<double, ostrell_t>> starts, double sample_max, unsigned seed)
{
    Rng rng(seed);
    const int weak_points = 4000, keep = 24, steps = 400;
    for (int i = 0; i < weak_points; ++i) {
        ostrell_t x = r.weak(rng);
        double h, l;
        ostrell_extract(x, &h, &l);
        if (h > r.lo_bound && h < r.hi_bound) starts.push_back({unary_err(r, x), x});
    }
    std::sort(starts.begin(), starts.end(), [](const auto& p, const auto& q) { return p.first > q.first; });
    if (starts.size() > size_t(keep)) starts.resize(keep);
    double best = -1;
    ostrell_t best_x = ostrell_from_double(0.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> scale(8, 60);
    for (auto& [err, x] : starts) {
        for (int k = 0; k < steps; ++k) {
            double h, l;
            ostrell_extract(x, &h, &l);
            double step = std::ldexp(h, -scale(rng)) * unit(rng);
            ostrell_t y = with_low(rng, h + step);
            double yh, yl;
            ostrell_extract(y, &yh, &yl);
            if (!(yh > r.lo_bound && yh < r.hi_bound)) continue;
            double e = unary_err(r, y);
            if (e > err) {
                err = e;
                x = y;
            }
        }
        if (err > best) {
            best = err;
            best_x = x;
        }
    }
    searched_rows.push_back({r.fn, r.range, sample_max, std::max(best, sample_max), hex(best_x)});
    std::fprintf(stderr, "searched %s %s: %.3g at %s\n", r.fn.c_str(), r.range.c_str(), best, hex(best_x).c_str());
}

void run_row(const Row& r, int samples, unsigned seed)
{
    Rng rng(seed);
    Stats os, qd;
    Mp a, b, ref(ref_prec);
    std::vector<std::pair<double, ostrell_t>> worst; // (error, input) of the worst samples
    for (int i = 0; i < samples; ++i) {
        ostrell_t x = r.gen_a(rng), y = r.arity == 2 ? r.gen_b(rng) : ostrell_from_double(0.0);
        set_pair(a, x);
        set_pair(b, y);
        if (r.arity == 1) r.ref1(ref, a, MPFR_RNDN);
        else r.ref2(ref, a, b, MPFR_RNDN);
        if (!mpfr_number_p(ref)) continue; // the range keeps results finite
        ostrell_t got = r.arity == 1 ? r.os1(x) : r.os2(x, y);
        double hi, lo;
        ostrell_extract(got, &hi, &lo);
        std::string args = r.arity == 1 ? hex(x) : hex(x) + ", " + hex(y);
        double e = err_units(hi, lo, ref, r.floor);
        os.see(e, args);
        if (r.weak && std::isfinite(e)) {
            worst.push_back({e, x});
            if (worst.size() > 64) {
                std::sort(worst.begin(), worst.end(), [](const auto& p, const auto& q) { return p.first > q.first; });
                worst.resize(24);
            }
        }
#ifdef OSTRELL_HAVE_QD
        if (r.has_qd) {
            dd_real q = qd_call(r.fn, to_qd(x), to_qd(y));
            qd.see(err_units(q.x[0], q.x[1], ref, r.floor), args);
        }
#endif
    }
    std::string q = r.has_qd ? qd.max_median() : "- | -";
#ifndef OSTRELL_HAVE_QD
    q = "- | -";
#endif
    std::printf("| %s | %s | %s | %s |\n", r.fn.c_str(), r.range.c_str(), os.max_median().c_str(), q.c_str());
    std::fprintf(stderr, "worst %s %s: %.3g at %s\n", r.fn.c_str(), r.range.c_str(), os.worst, os.worst_args.c_str());
    std::fflush(stdout);
    if (r.weak) search_row(r, worst, os.e.empty() ? 0.0 : *std::max_element(os.e.begin(), os.e.end()), seed + 1000);
}

// ---- complex rows ----------------------------------------------------------

#ifdef OSTRELL_ACCURACY_COMPLEX
// Reference z = f(x) at ref_prec; c_re, c_im the result parts.
using CRef = std::function<void(mpfr_t re, mpfr_t im, mpfr_t xr, mpfr_t xi, mpfr_t yr, mpfr_t yi)>;
using COs = std::function<ostrell_complex(ostrell_complex, ostrell_complex)>;

struct CRow {
    std::string fn, range;
    Gen gen;
    COs os;
    CRef ref;
    bool binary = false;
};

ostrell_complex make(ostrell_t re, ostrell_t im)
{
    ostrell_complex z;
    z.real = re;
    z.imag = im;
    return z;
}

// |got - ref| / |ref| in units of 2^-104, both components.
double cerr_units(ostrell_complex got, mpfr_t rr, mpfr_t ri)
{
    double h1, l1, h2, l2;
    ostrell_extract(got.real, &h1, &l1);
    ostrell_extract(got.imag, &h2, &l2);
    if (!std::isfinite(h1) || !std::isfinite(l1) || !std::isfinite(h2) || !std::isfinite(l2))
        return INFINITY;
    Mp dr, di, n(ref_prec), t(ref_prec);
    set_pair(dr, h1, l1);
    set_pair(di, h2, l2);
    mpfr_sub(dr, dr, rr, MPFR_RNDN);
    mpfr_sub(di, di, ri, MPFR_RNDN);
    mpfr_hypot(t, dr, di, MPFR_RNDN);
    mpfr_hypot(n, rr, ri, MPFR_RNDN);
    if (!mpfr_zero_p(n)) mpfr_div(t, t, n, MPFR_RNDN);
    mpfr_mul_2si(t, t, 104, MPFR_RNDN);
    return mpfr_get_d(t, MPFR_RNDN);
}

void run_crow(const CRow& r, int samples, unsigned seed)
{
    Rng rng(seed);
    Stats os;
    Mp xr, xi, yr, yi, re(ref_prec), im(ref_prec);
    for (int i = 0; i < samples; ++i) {
        ostrell_complex x = make(r.gen(rng), r.gen(rng)), y = make(r.gen(rng), r.gen(rng));
        set_pair(xr, x.real);
        set_pair(xi, x.imag);
        set_pair(yr, y.real);
        set_pair(yi, y.imag);
        r.ref(re, im, xr, xi, yr, yi);
        std::string args = hex(x.real) + " + i" + hex(x.imag);
        if (r.binary) args += ", " + hex(y.real) + " + i" + hex(y.imag);
        os.see(cerr_units(r.os(x, y), re, im), args);
    }
    std::printf("| complex %s | %s | %s | - | - |\n", r.fn.c_str(), r.range.c_str(), os.max_median().c_str());
    std::fprintf(stderr, "worst complex %s: %.3g at %s\n", r.fn.c_str(), os.worst, os.worst_args.c_str());
    std::fflush(stdout);
}

// sin, cos, sinh, cosh of x + iy at 400 bits (tan and tanh divide them).
void c_trig(mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, bool cosine, bool hyperbolic)
{
    Mp s(400), c(400), sh(400), ch(400);
    // hyperbolic: sinh(x+iy) = sinh x cos y + i cosh x sin y,
    //             cosh(x+iy) = cosh x cos y + i sinh x sin y
    // circular:   sin(x+iy)  = sin x cosh y + i cos x sinh y,
    //             cos(x+iy)  = cos x cosh y - i sin x sinh y
    mpfr_ptr u = hyperbolic ? y : x; // circular part argument
    mpfr_ptr w = hyperbolic ? x : y; // hyperbolic part argument
    mpfr_sin_cos(s, c, u, MPFR_RNDN);
    mpfr_sinh_cosh(sh, ch, w, MPFR_RNDN);
    if (!hyperbolic && !cosine) {
        mpfr_mul(re, s, ch, MPFR_RNDN);
        mpfr_mul(im, c, sh, MPFR_RNDN);
    } else if (!hyperbolic) {
        mpfr_mul(re, c, ch, MPFR_RNDN);
        mpfr_mul(im, s, sh, MPFR_RNDN);
        mpfr_neg(im, im, MPFR_RNDN);
    } else if (!cosine) {
        mpfr_mul(re, sh, c, MPFR_RNDN);
        mpfr_mul(im, ch, s, MPFR_RNDN);
    } else {
        mpfr_mul(re, ch, c, MPFR_RNDN);
        mpfr_mul(im, sh, s, MPFR_RNDN);
    }
}

// (a + bi) / (c + di) at 600 bits.
void c_div(mpfr_t re, mpfr_t im, mpfr_t a, mpfr_t b, mpfr_t c, mpfr_t d)
{
    Mp n(600), t(600), u(600);
    mpfr_sqr(n, c, MPFR_RNDN);
    mpfr_fma(n, d, d, n, MPFR_RNDN);
    mpfr_mul(t, a, c, MPFR_RNDN);
    mpfr_fma(t, b, d, t, MPFR_RNDN);
    mpfr_mul(u, b, c, MPFR_RNDN);
    mpfr_fms(u, a, d, u, MPFR_RNDN);
    mpfr_neg(u, u, MPFR_RNDN);
    mpfr_div(re, t, n, MPFR_RNDN);
    mpfr_div(im, u, n, MPFR_RNDN);
}

void c_tan(mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, bool hyperbolic)
{
    Mp sr(400), si(400), cr(400), ci(400);
    c_trig(sr, si, x, y, false, hyperbolic);
    c_trig(cr, ci, x, y, true, hyperbolic);
    c_div(re, im, sr, si, cr, ci);
}

std::vector<CRow> complex_rows()
{
    using ostrell::complex128;
    auto wide = [](Rng& g) { return log_uniform(g, -20, 20); };
    auto box = [](Rng& g) { return uniform(g, -5.0, 5.0); };
    auto unary = [](complex128 (*f)(const complex128&)) {
        return [f](ostrell_complex x, ostrell_complex) { return f(complex128(x)).data; };
    };
    std::vector<CRow> rows;
    rows.push_back({"mul", "parts ±2^[-20,20]", wide, ostrell_complex_mul,
                    [](mpfr_t re, mpfr_t im, mpfr_t a, mpfr_t b, mpfr_t c, mpfr_t d) {
                        Mp t(600), u(600);
                        mpfr_mul(t, a, c, MPFR_RNDN);
                        mpfr_fms(re, b, d, t, MPFR_RNDN);
                        mpfr_neg(re, re, MPFR_RNDN);
                        mpfr_mul(u, a, d, MPFR_RNDN);
                        mpfr_fma(im, b, c, u, MPFR_RNDN);
                    },
                    true});
    rows.push_back({"div", "parts ±2^[-20,20]", wide, ostrell_complex_div, c_div, true});
    rows.push_back({"abs", "parts ±2^[-20,20]", wide,
                    [](ostrell_complex x, ostrell_complex) { return make(ostrell_complex_abs(x), ostrell_from_double(0.0)); },
                    [](mpfr_t re, mpfr_t im, mpfr_t a, mpfr_t b, mpfr_t, mpfr_t) {
                        mpfr_hypot(re, a, b, MPFR_RNDN);
                        mpfr_set_zero(im, 1);
                    }});
    rows.push_back({"sin", "parts in (-5, 5)", box, unary(ostrell::sin),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_trig(re, im, x, y, false, false); }});
    rows.push_back({"cos", "parts in (-5, 5)", box, unary(ostrell::cos),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_trig(re, im, x, y, true, false); }});
    rows.push_back({"tan", "parts in (-5, 5)", box, unary(ostrell::tan),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_tan(re, im, x, y, false); }});
    rows.push_back({"sinh", "parts in (-5, 5)", box, unary(ostrell::sinh),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_trig(re, im, x, y, false, true); }});
    rows.push_back({"cosh", "parts in (-5, 5)", box, unary(ostrell::cosh),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_trig(re, im, x, y, true, true); }});
    rows.push_back({"tanh", "parts in (-5, 5)", box, unary(ostrell::tanh),
                    [](mpfr_t re, mpfr_t im, mpfr_t x, mpfr_t y, mpfr_t, mpfr_t) { c_tan(re, im, x, y, true); }});
    return rows;
}
#endif

std::vector<Row> real_rows()
{
    auto lu = [](int lo, int hi, bool pos = false) {
        return [=](Rng& g) { return log_uniform(g, lo, hi, pos); };
    };
    auto un = [](double lo, double hi) { return [=](Rng& g) { return uniform(g, lo, hi); }; };
    // |x| in [lo, hi) with random sign
    auto band = [](double lo, double hi) {
        return [=](Rng& g) {
            ostrell_t x = uniform(g, lo, hi);
            return (g() & 1) ? ostrell_neg(x) : x;
        };
    };
    // 1 - 2^-e with e uniform in [emin, emax], random sign: close to ±1
    auto near_one = [](int emin, int emax) {
        return [=](Rng& g) {
            double d = std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(g),
                                  -std::uniform_int_distribution<int>(emin, emax)(g));
            ostrell_t x = ostrell_sub(ostrell_from_double(1.0), with_low(g, d));
            return (g() & 1) ? ostrell_neg(x) : x;
        };
    };
    // c + |c| 2^-k u (or 2^-k u at c = 0) for a centre c drawn from the list,
    // k uniform in [kmin, kmax], u uniform in (-1, 1): dense near weak points
    auto around = [](std::vector<double> centres, int kmin, int kmax) {
        return [=](Rng& g) {
            double c = centres[std::uniform_int_distribution<size_t>(0, centres.size() - 1)(g)];
            double d = std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(g),
                                  -std::uniform_int_distribution<int>(kmin, kmax)(g));
            return with_low(g, c == 0 ? d : c + std::fabs(c) * d);
        };
    };
    const double half_pi = 1.5707963267948966;
    std::vector<double> zeros_sin_cos;
    for (int k = -4; k <= 4; ++k) zeros_sin_cos.push_back(k * half_pi);
    Gen none = [](Rng&) { return ostrell_from_double(0.0); };
    std::vector<Row> rows;
    // the last row also gets a targeted worst-case search inside (lo, hi)
    auto search = [&](double lo, double hi, Gen weak) {
        rows.back().weak = weak;
        rows.back().lo_bound = lo;
        rows.back().hi_bound = hi;
    };
    auto r1 = [&](const char* fn, const char* range, Gen g, Os1 f, Mpfr1 ref, double floor = 0) {
        Row r{fn, range, 1, g, none};
        r.os1 = f;
        r.ref1 = ref;
        r.floor = floor;
        rows.push_back(r);
    };
    auto r2 = [&](const char* fn, const char* range, Gen ga, Gen gb, Os2 f, Mpfr2 ref, double floor = 0) {
        Row r{fn, range, 2, ga, gb};
        r.os2 = f;
        r.ref2 = ref;
        r.floor = floor;
        rows.push_back(r);
    };
    r2("add", "±2^[-20,20] both", lu(-20, 20), lu(-20, 20), ostrell_add, mpfr_add);
    r2("add", "opposite signs, \\|a\\|,\\|b\\| in [1, 2)", un(1, 2), un(-2, -1), ostrell_add, mpfr_add);
    r2("sub", "±2^[-20,20] both", lu(-20, 20), lu(-20, 20), ostrell_sub, mpfr_sub);
    r2("mul", "±2^[-20,20] both", lu(-20, 20), lu(-20, 20), ostrell_mul, mpfr_mul);
    r2("mul", "subnormal results, 2^[-540,-500] both", lu(-540, -500), lu(-540, -500), ostrell_mul, mpfr_mul);
    r2("div", "±2^[-20,20] both", lu(-20, 20), lu(-20, 20), ostrell_div, mpfr_div);
    r1("sqrt", "2^[-968,1023]", lu(-968, 1023, true), ostrell_sqrt, mpfr_sqrt);
    r1("sqrt", "tiny x, 2^[-1074,-969]", lu(-1074, -969, true), ostrell_sqrt, mpfr_sqrt);
    r1("exp", "(-1, 1)", un(-1, 1), ostrell_exp, mpfr_exp);
    search(-1, 1, around({0.0, -1.0, 1.0, -0.5, 0.5}, 1, 60));
    r1("exp", "(-665, 709)", un(-665, 709), ostrell_exp, mpfr_exp);
    r1("exp", "tiny results, (-708, -665): low part subnormal", un(-708, -665), ostrell_exp, mpfr_exp);
    r1("exp", "subnormal results, (-745, -709)", un(-745, -709), ostrell_exp, mpfr_exp);
    r1("log", "2^[-968,1022]", lu(-968, 1022, true), ostrell_log, mpfr_log);
    r1("log", "top binade, 2^1023 * [1, 2)", lu(1023, 1023, true), ostrell_log, mpfr_log);
    r1("log", "tiny x, 2^[-1074,-969]", lu(-1074, -969, true), ostrell_log, mpfr_log);
    r1("log", "(0.5, 2), abs. where \\|f\\| < 1", un(0.5, 2), ostrell_log, mpfr_log, 1.0);
    search(0.5, 2, around({1.0, 0.5, 2.0}, 1, 60));
    r1("log", "\\|x-1\\| < 2^-20 (relative)", un(1 - 0x1p-20, 1 + 0x1p-20), ostrell_log, mpfr_log);
    r2("pow", "x in 2^[-10,10], y in (-30, 30)", lu(-10, 10, true), un(-30, 30), ostrell_pow, mpfr_pow);
    r1("sin", "(-2π, 2π), abs. where \\|f\\| < 1", un(-6.283, 6.283), ostrell_sin, mpfr_sin, 1.0);
    search(-6.283, 6.283, around(zeros_sin_cos, 1, 60));
    r1("sin", "\\|x-π\\| < 2^-20 (relative)", un(3.14159265358979 - 0x1p-20, 3.14159265358979 + 0x1p-20), ostrell_sin, mpfr_sin);
    r1("sin", "\\|x\\| in [2^20, 2^50), abs. where \\|f\\| < 1", band(0x1p20, 0x1p50), ostrell_sin, mpfr_sin, 1.0);
    r1("cos", "(-2π, 2π), abs. where \\|f\\| < 1", un(-6.283, 6.283), ostrell_cos, mpfr_cos, 1.0);
    search(-6.283, 6.283, around(zeros_sin_cos, 1, 60));
    r1("cos", "\\|x\\| in [2^20, 2^50), abs. where \\|f\\| < 1", band(0x1p20, 0x1p50), ostrell_cos, mpfr_cos, 1.0);
    r1("tan", "(-π/2, π/2)", un(-1.5707, 1.5707), ostrell_tan, mpfr_tan);
    search(-1.5707, 1.5707, around({0.0, -1.5707, 1.5707, -0.7853981633974483, 0.7853981633974483}, 1, 60));
    r1("tan", "\\|x\\| in [2^20, 2^50), abs. where \\|f\\| < 1", band(0x1p20, 0x1p50), ostrell_tan, mpfr_tan, 1.0);
    r1("atan", "±2^[-30,30]", lu(-30, 30), ostrell_atan, mpfr_atan);
    search(-0x1p31, 0x1p31, around({-1.0, 1.0, 0.0}, 1, 60));
    r1("asin", "(-1, 1)", un(-1, 1), ostrell_asin, mpfr_asin);
    search(-1, 1, around({-1.0, 1.0, 0.0, -0.5, 0.5}, 1, 60));
    r1("asin", "1 - \\|x\\| in 2^[-40,-20]", near_one(20, 40), ostrell_asin, mpfr_asin);
    r1("acos", "(-1, 1)", un(-1, 1), ostrell_acos, mpfr_acos);
    search(-1, 1, around({-1.0, 1.0, 0.0, -0.5, 0.5}, 1, 60));
    r1("acos", "1 - \\|x\\| in 2^[-40,-20]", near_one(20, 40), ostrell_acos, mpfr_acos);
    r2("atan2", "±2^[-20,20] both", lu(-20, 20), lu(-20, 20), ostrell_atan2, mpfr_atan2);
    r1("sinh", "(-1, 1)", un(-1, 1), ostrell_sinh, mpfr_sinh);
    search(-1, 1, around({-1e-4, 1e-4, 0.0, -1.0, 1.0}, 1, 60));
    r1("sinh", "\\|x\\| < 10^-4 (series)", un(-1e-4, 1e-4), ostrell_sinh, mpfr_sinh);
    r1("sinh", "\\|x\\| in [10^-4, 10^-2)", band(1e-4, 1e-2), ostrell_sinh, mpfr_sinh);
    r1("sinh", "\\|x\\| in [1, 665)", band(1, 665), ostrell_sinh, mpfr_sinh);
    r1("sinh", "x in (-709, -665)", un(-709, -665), ostrell_sinh, mpfr_sinh);
    r1("cosh", "(-665, 709)", un(-665, 709), ostrell_cosh, mpfr_cosh);
    r1("cosh", "x in (-709, -665)", un(-709, -665), ostrell_cosh, mpfr_cosh);
    r1("tanh", "(-1, 1)", un(-1, 1), ostrell_tanh, mpfr_tanh);
    search(-1, 1, around({-1e-4, 1e-4, 0.0, -1.0, 1.0}, 1, 60));
    r1("tanh", "\\|x\\| < 10^-4 (series)", un(-1e-4, 1e-4), ostrell_tanh, mpfr_tanh);
    r1("tanh", "\\|x\\| in [10^-4, 10^-2)", band(1e-4, 1e-2), ostrell_tanh, mpfr_tanh);
    r1("tanh", "\\|x\\| in [1, 40)", band(1, 40), ostrell_tanh, mpfr_tanh);
    return rows;
}


// ---- decimal text rows -----------------------------------------------------

// |got - ref| / |ref| in units of 2^-104 for two MPFR numbers.
double err_mp(mpfr_t got, mpfr_t ref)
{
    Mp d;
    mpfr_sub(d, got, ref, MPFR_RNDN);
    if (!mpfr_zero_p(ref)) mpfr_div(d, d, ref, MPFR_RNDN);
    mpfr_abs(d, d, MPFR_RNDN);
    mpfr_mul_2si(d, d, 104, MPFR_RNDN);
    return mpfr_get_d(d, MPFR_RNDN);
}

// n random decimal digits, the first non-zero.
std::string digits(Rng& rng, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(char('0' + (i == 0 ? 1 + rng() % 9 : rng() % 10)));
    return s;
}

// Parsing: the exact value of the text (MPFR reads it at 2200 bits) against
// ostrell_from_string (or, exact, ostrell_parse) of the same text.
void run_parse_row(const char* range, std::function<std::string(Rng&)> gen, int samples, unsigned seed,
                   bool exact = false)
{
    Rng rng(seed);
    Stats os;
    Mp ref, got;
    for (int i = 0; i < samples; ++i) {
        std::string text = gen(rng);
        mpfr_set_str(ref, text.c_str(), 10, MPFR_RNDN);
        ostrell_t v = ostrell_from_string(text.c_str());
        if (exact) {
            const char* end;
            ostrell_parse(text.data(), text.data() + text.size(), &v, &end);
        }
        set_pair(got, v);
        os.see(err_mp(got, ref), text);
    }
    std::printf("| %s | %s | %s | - | - |\n", exact ? "parse (exact)" : "parse", range, os.max_median().c_str());
    std::fprintf(stderr, "worst parse %s: %.3g at \"%s\"\n", range, os.worst, os.worst_args.c_str());
    std::fflush(stdout);
}

// Printing: the exact value of the 32-digit text of x against x; digits > 0:
// ostrell_format's correctly rounded digits, 0: its shortest text.
void run_print_row(const char* range, Gen gen, int samples, unsigned seed, int digits = -1)
{
    Rng rng(seed);
    Stats os;
    Mp ref, got;
    char buf[1024];
    for (int i = 0; i < samples; ++i) {
        ostrell_t x = gen(rng);
        if (digits < 0)
            ostrell_to_string(buf, sizeof buf, x);
        else
            ostrell_format(buf, sizeof buf, x, digits);
        set_pair(ref, x);
        mpfr_set_str(got, buf, 10, MPFR_RNDN);
        os.see(err_mp(got, ref), hex(x) + " -> " + buf);
    }
    const char* form = digits < 0 ? "print (32 digits)" : digits ? "print (exact, 32 digits)" : "print (shortest)";
    std::printf("| %s | %s | %s | - | - |\n", form, range, os.max_median().c_str());
    std::fprintf(stderr, "worst print %s: %.3g at %s\n", range, os.worst, os.worst_args.c_str());
    std::fflush(stdout);
}

void run_text_rows(int samples, unsigned& seed)
{
    auto sci = [](int emin, int emax) {
        return [=](Rng& g) {
            int e = std::uniform_int_distribution<int>(emin, emax)(g);
            if (g() & 1) e = -e;
            std::string d = digits(g, 32);
            return d.substr(0, 1) + "." + d.substr(1) + "e" + std::to_string(e);
        };
    };
    auto integer = [](int nmin, int nmax) {
        return [=](Rng& g) { return digits(g, std::uniform_int_distribution<int>(nmin, nmax)(g)); };
    };
    auto lu = [](int lo, int hi) { return [=](Rng& g) { return log_uniform(g, lo, hi); }; };
    run_parse_row("32 digits, exponent in [-22, 22]", sci(0, 22), samples, seed++);
    run_parse_row("integers of 16 to 40 digits", integer(16, 40), samples, seed++);
    run_parse_row("32 digits, \\|exponent\\| in [23, 300]", sci(23, 300), samples, seed++);
    run_print_row("\\|x\\| in 2^[-13, 48] (fixed notation)", lu(-13, 48), samples, seed++);
    run_print_row("\\|x\\| in 2^[50, 996] (scientific, large)", lu(50, 996), samples, seed++);
    run_print_row("\\|x\\| in 2^[-996, -14] (scientific, small)", lu(-996, -14), samples, seed++);
    // The exact conversions of ostrell_text.h on the same kinds of input.
    run_parse_row("32 digits, exponent in [-22, 22]", sci(0, 22), samples, seed++, true);
    run_parse_row("integers of 16 to 40 digits", integer(16, 40), samples, seed++, true);
    run_parse_row("32 digits, \\|exponent\\| in [23, 300]", sci(23, 300), samples, seed++, true);
    for (int digits : {32, 0}) {
        run_print_row("\\|x\\| in 2^[-13, 48]", lu(-13, 48), samples, seed++, digits);
        run_print_row("\\|x\\| in 2^[50, 996]", lu(50, 996), samples, seed++, digits);
        run_print_row("\\|x\\| in 2^[-996, -14]", lu(-996, -14), samples, seed++, digits);
    }
}

} // namespace

int main(int argc, char** argv)
{
    int samples = argc > 1 ? std::atoi(argv[1]) : 20000;
    char date[32];
    std::time_t t = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&t));
    std::printf("Errors in units of 2^-104 (relative; complex: normwise relative) against MPFR at %d bits,\n"
                "%d random inputs per row (std::mt19937_64 seeded with the row number, 1, 2, ...), %s.\n"
                "Inputs are normalised pairs with a random low part. Maxima are sample maxima.\n"
                "Rerun: cmake --build build -j2 --target accuracy && build/benchmarks/accuracy %d\n\n",
                int(ref_prec), samples, date, samples);
    std::printf("| function | range | ostrell max | ostrell median | QD dd_real max | QD dd_real median |\n");
    std::printf("|---|---|---:|---:|---:|---:|\n");
    unsigned seed = 1;
    for (const Row& r : real_rows()) run_row(r, samples, seed++);
#ifdef OSTRELL_ACCURACY_COMPLEX
    for (const CRow& r : complex_rows()) run_crow(r, samples, seed++);
#endif
    run_text_rows(samples, seed);

    std::printf("\nTargeted worst-case search (seed 1000 + the row's seed): the worst samples and\n"
                "4000 inputs dense near the weak points, each refined by 400 random steps.\n\n");
    std::printf("| function | range | sample max | searched max | at (hi, lo) |\n");
    std::printf("|---|---|---:|---:|---|\n");
    for (const Searched& r : searched_rows)
        std::printf("| %s | %s | %s | %s | `%s` |\n", r.fn.c_str(), r.range.c_str(), Stats::fmt(r.sample_max).c_str(),
                    Stats::fmt(r.searched_max).c_str(), r.at.c_str());
    return 0;
}
