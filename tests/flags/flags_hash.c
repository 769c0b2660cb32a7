/* Hashes the results of every plain function on fixed pseudo-random
 * arguments, one line per function: "name hash".  Built as C11 and (through
 * flags_hash.cpp) as C++17 with whatever flags the includer chooses; every
 * build must print the lines of the baseline build.
 *
 * The arguments are made from random bits, never by floating-point
 * arithmetic here, so the only floating-point code in the program is the
 * headers'.  Every NaN hashes alike: the headers promise NaN, not its bits.
 *
 *   flags_hash [calls per function, default 100000]
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ostrell.h"
#include "ostrell_complex.h"
#include "ostrell_io.h"
#include "ostrell_math.h"
#include "ostrell_utils.h"

static uint64_t rng_state;

/* splitmix64 */
static uint64_t next_u64(void)
{
    uint64_t z = (rng_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

static double from_bits(uint64_t u)
{
    double d;
    memcpy(&d, &u, sizeof d);
    return d;
}

/* A normalised pair: high part with an unbiased exponent in [e_min, e_max]
 * (clamped to the normal range), random sign unless `positive`; low part 54
 * to 61 binades below with a random sign, or zero where that would leave the
 * normal range.  One argument in 64 is a special value instead. */
static ostrell_t arg(int e_min, int e_max, int positive)
{
    static const uint64_t specials[8] = {
        0x0000000000000000ull, 0x8000000000000000ull, 0x7FF0000000000000ull, 0xFFF0000000000000ull,
        0x7FF8000000000000ull, 0x0000000000000001ull, 0x7FEFFFFFFFFFFFFFull, 0x3FF0000000000000ull};
    uint64_t r = next_u64(), m = next_u64();
    int e = e_min + (int)(r % (uint64_t)(e_max - e_min + 1));
    int e_lo = e - 54 - (int)((r >> 20) & 7);
    uint64_t sign = positive ? 0 : (r >> 63) << 63;
    uint64_t hi, lo = 0;
    if ((r >> 40) % 64 == 0)
        return ostrell_from_double(from_bits(specials[(r >> 48) & 7] | sign));
    if (e < -1022) e = -1022;
    if (e > 1023) e = 1023;
    hi = sign | ((uint64_t)(e + 1023) << 52) | (m & 0xFFFFFFFFFFFFFull);
    if (e_lo >= -1022)
        lo = ((r >> 62) & 1) << 63 | ((uint64_t)(e_lo + 1023) << 52) | (next_u64() & 0xFFFFFFFFFFFFFull);
    return ostrell_from_hi_lo(from_bits(hi), from_bits(lo));
}

typedef struct {
    uint64_t h;
} hash_t;

static void hash_u64(hash_t* s, uint64_t v)
{
    int i;
    for (i = 0; i < 8; i++) {
        s->h ^= (v >> (8 * i)) & 0xFF;
        s->h *= 0x100000001B3ull; /* FNV-1a */
    }
}

static void hash_double(hash_t* s, double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    if (d != d)
        u = 0x7FF8000000000000ull;
    hash_u64(s, u);
}

static void hash_dd(hash_t* s, ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    hash_double(s, hi);
    hash_double(s, lo);
}

static void hash_text(hash_t* s, const char* t)
{
    for (; *t; t++) {
        s->h ^= (unsigned char)*t;
        s->h *= 0x100000001B3ull;
    }
}

static hash_t start(void)
{
    hash_t s;
    s.h = 0xCBF29CE484222325ull;
    rng_state = 0x0123456789ABCDEFull;
    return s;
}

static void report(const char* name, hash_t s) { printf("%-16s %016llx\n", name, (unsigned long long)s.h); }

/* One line per unary or binary function over n arguments in the given ranges. */
#define UNARY(name, call, e_min, e_max, positive)          \
    do {                                                   \
        hash_t s = start();                                \
        long i;                                            \
        for (i = 0; i < n; i++) {                          \
            ostrell_t x = arg(e_min, e_max, positive);     \
            hash_dd(&s, call(x));                          \
        }                                                  \
        report(name, s);                                   \
    } while (0)

#define BINARY(name, call, e_min, e_max, f_min, f_max)     \
    do {                                                   \
        hash_t s = start();                                \
        long i;                                            \
        for (i = 0; i < n; i++) {                          \
            ostrell_t x = arg(e_min, e_max, 0);            \
            ostrell_t y = arg(f_min, f_max, 0);            \
            hash_dd(&s, call(x, y));                       \
        }                                                  \
        report(name, s);                                   \
    } while (0)

#define COMPLEX(name, call, e_min, e_max)                                      \
    do {                                                                       \
        hash_t s = start();                                                    \
        long i;                                                                \
        for (i = 0; i < n; i++) {                                              \
            ostrell_complex a, b, z;                                           \
            a.real = arg(e_min, e_max, 0);                                     \
            a.imag = arg(e_min, e_max, 0);                                     \
            b.real = arg(e_min, e_max, 0);                                     \
            b.imag = arg(e_min, e_max, 0);                                     \
            z = call(a, b);                                                    \
            hash_dd(&s, z.real);                                               \
            hash_dd(&s, z.imag);                                               \
        }                                                                      \
        report(name, s);                                                       \
    } while (0)

static ostrell_t complex_abs_of(ostrell_t x)
{
    return ostrell_complex_abs(_ostrell_complex_make(x, arg(-30, 30, 0)));
}
static ostrell_t sin_of(ostrell_t x) { return ostrell_sin(x); }
static ostrell_t cos_of(ostrell_t x) { return ostrell_cos(x); }

int main(int argc, char** argv)
{
    long n = argc > 1 ? atol(argv[1]) : 100000;

    BINARY("add", ostrell_add, -60, 60, -60, 60);
    BINARY("sub", ostrell_sub, -60, 60, -60, 60);
    BINARY("mul", ostrell_mul, -600, 600, -600, 600);
    BINARY("div", ostrell_div, -600, 600, -600, 600);
    BINARY("div_top", ostrell_div, 1020, 1023, -2, 8);
    UNARY("sqrt", ostrell_sqrt, -1074, 1023, 1);
    {
        hash_t s = start();
        long i;
        for (i = 0; i < n; i++) {
            double a, b, lo, p;
            ostrell_extract(arg(-600, 600, 0), &a, &lo);
            ostrell_extract(arg(-600, 600, 0), &b, &lo);
            p = a * b;
            __asm__("" : "+x"(p)); /* p = fl(a*b), not fused into the call */
            hash_double(&s, ostrell_exact_mul_err(a, b, p));
        }
        report("exact_mul_err", s);
    }
    UNARY("floor", ostrell_floor, -10, 70, 0);
    UNARY("ceil", ostrell_ceil, -10, 70, 0);
    UNARY("trunc", ostrell_trunc, -10, 70, 0);
    UNARY("round", ostrell_round, -10, 70, 0);
    BINARY("fmod", ostrell_fmod, -20, 40, -20, 20);
    UNARY("exp", ostrell_exp, -12, 9, 0);
    UNARY("log", ostrell_log, -1000, 1000, 1);
    BINARY("pow", ostrell_pow, -10, 10, -6, 4);
    UNARY("sinh", ostrell_sinh, -16, 9, 0);
    UNARY("cosh", ostrell_cosh, -16, 9, 0);
    UNARY("tanh", ostrell_tanh, -16, 5, 0);
    UNARY("sin", sin_of, -20, 64, 0);
    UNARY("cos", cos_of, -20, 64, 0);
    UNARY("tan", ostrell_tan, -20, 30, 0);
    UNARY("atan", ostrell_atan, -30, 30, 0);
    UNARY("asin", ostrell_asin, -30, 0, 0);
    UNARY("acos", ostrell_acos, -30, 0, 0);
    BINARY("atan2", ostrell_atan2, -30, 30, -30, 30);
    COMPLEX("complex_add", ostrell_complex_add, -30, 30);
    COMPLEX("complex_sub", ostrell_complex_sub, -30, 30);
    COMPLEX("complex_mul", ostrell_complex_mul, -30, 30);
    COMPLEX("complex_div", ostrell_complex_div, -30, 30);
    UNARY("complex_abs", complex_abs_of, -30, 30, 0);
    {
        hash_t s = start(), t = start();
        long i;
        char buf[128];
        for (i = 0; i < n; i++) {
            ostrell_to_string_prec(buf, sizeof buf, arg(-330, 330, 0), 1 + (int)(i % 40));
            hash_text(&s, buf);
            hash_dd(&t, ostrell_from_string(buf));
        }
        report("to_string", s);
        report("from_string", t);
    }
    return 0;
}
