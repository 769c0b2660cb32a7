// Shared helpers for the C++ tests: bit patterns, pair construction, and an
// MPFR reference for measuring errors.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <mpfr.h>

#include "ostrell.h"

namespace test {

inline uint64_t bits(double d) { uint64_t u; std::memcpy(&u, &d, 8); return u; }
inline double from_bits(uint64_t u) { double d; std::memcpy(&d, &u, 8); return d; }

inline double hi(ostrell_t x) { double h, l; ostrell_extract(x, &h, &l); return h; }
inline double lo(ostrell_t x) { double h, l; ostrell_extract(x, &h, &l); return l; }
inline ostrell_t pair(double h, double l) { return ostrell_from_hi_lo(h, l); }
inline ostrell_t pair_bits(uint64_t h, uint64_t l) { return pair(from_bits(h), from_bits(l)); }

// "(0x3FF0000000000000, 0x0000000000000000)" so a failure can be replayed.
inline std::string hex(ostrell_t x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "(0x%016llX, 0x%016llX)",
                  (unsigned long long)bits(hi(x)), (unsigned long long)bits(lo(x)));
    return buf;
}
inline std::string hex(double d)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%016llX", (unsigned long long)bits(d));
    return buf;
}

// Bitwise identity of both parts (distinguishes -0 from +0 and NaN payloads).
inline ::testing::AssertionResult same_bits(ostrell_t got, ostrell_t want)
{
    if (bits(hi(got)) == bits(hi(want)) && bits(lo(got)) == bits(lo(want)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << hex(got) << " want " << hex(want);
}
inline ::testing::AssertionResult same_bits(double got, double want)
{
    if (bits(got) == bits(want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << hex(got) << " want " << hex(want);
}

// Bitwise identity, except that a NaN part only has to be a NaN in the same
// part: what batch paths, layouts and sums promise (a NaN's sign and payload
// follow the operand order each compiled path chose).
inline bool same_part(double got, double want)
{
    return std::isnan(want) ? std::isnan(got) : bits(got) == bits(want);
}
inline ::testing::AssertionResult same_bits_or_nan(ostrell_t got, ostrell_t want)
{
    if (same_part(hi(got), hi(want)) && same_part(lo(got), lo(want)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << hex(got) << " want " << hex(want);
}

// RAII MPFR number (default 2200 bits: wide enough to hold any double-double
// sum, product or two-sum exactly).
struct Mp {
    mpfr_t v;
    explicit Mp(mpfr_prec_t prec = 2200) { mpfr_init2(v, prec); mpfr_set_zero(v, 1); }
    ~Mp() { mpfr_clear(v); }
    Mp(const Mp&) = delete;
    Mp& operator=(const Mp&) = delete;
    static void of(mpfr_t out, ostrell_t x)  // out = hi + lo exactly (enough precision)
    {
        mpfr_set_d(out, hi(x), MPFR_RNDN);
        mpfr_add_d(out, out, lo(x), MPFR_RNDN);
    }
    double to_d() const { return mpfr_get_d(v, MPFR_RNDN); }
};

// Relative error |x - ref| / |ref| in units of 2^-104 (absolute when ref == 0).
inline double err_units(ostrell_t x, const mpfr_t ref)
{
    Mp d(2200);
    Mp::of(d.v, x);
    mpfr_sub(d.v, d.v, ref, MPFR_RNDN);
    if (!mpfr_zero_p(ref)) mpfr_div(d.v, d.v, ref, MPFR_RNDN);
    mpfr_abs(d.v, d.v, MPFR_RNDN);
    mpfr_mul_2si(d.v, d.v, 104, MPFR_RNDN);
    return mpfr_get_d(d.v, MPFR_RNDN);
}

// Random binary64 with a uniformly chosen exponent in [emin, emax] and sign.
inline double random_double(std::mt19937_64& rng, int emin, int emax)
{
    std::uniform_int_distribution<int> e(emin, emax);
    std::uniform_real_distribution<double> m(1.0, 2.0);
    double d = std::ldexp(m(rng), e(rng));
    return (rng() & 1) ? -d : d;
}

// A normalised pair with high part h and a random low part within half an
// ulp of h; zero and non-finite h get a +0 low part.
inline ostrell_t with_random_low(std::mt19937_64& rng, double h)
{
    if (h == 0.0 || !std::isfinite(h)) return ostrell_from_double(h);
    std::uniform_real_distribution<double> f(-0.5, 0.5);
    double l = f(rng) * std::ldexp(1.0, std::ilogb(h) - 52);
    double s = h + l;
    return ostrell_from_hi_lo(s, l - (s - h));
}

// A normalised random pair: hi random, lo a random fraction of half an ulp of hi.
inline ostrell_t random_pair(std::mt19937_64& rng, int emin, int emax)
{
    return with_random_low(rng, random_double(rng, emin, emax));
}

} // namespace test
