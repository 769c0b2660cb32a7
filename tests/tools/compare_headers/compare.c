/* Bit comparison of two header trees ("old" and "new") on n random rows per
 * function (default 10^6).  Arguments: normalised pairs over each function's
 * range, one in 64 a special value, one in 64 unnormalised (a low part of any
 * size); add, sub and mul once more near the overflow threshold.  Every
 * changed row is classed: each changed result pair went from (±inf, ∓inf) or
 * (±inf, NaN) to (±inf, +0); the old result had a non-finite part while every
 * argument part was finite (what a rescue of an overflow may change); only the
 * bits of a NaN differ; or other.  Rows of the last class
 * are printed in hex; the exit status is 1 if there are any. */
#include <emmintrin.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef __m128d ostrell_t;
void eval_old(int fn, const ostrell_t* in, ostrell_t* out, long n);
void eval_new(int fn, const ostrell_t* in, ostrell_t* out, long n);

static uint64_t rng_state = 42;

static uint64_t next_u64(void) /* splitmix64 */
{
    uint64_t z = (rng_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

static double from_bits(uint64_t u) { double d; memcpy(&d, &u, 8); return d; }
static uint64_t bits(double d) { uint64_t u; memcpy(&u, &d, 8); return u; }
static int finite(double d) { return d - d == 0.0; }

static ostrell_t arg(int e_min, int e_max, int positive)
{
    static const uint64_t specials[12] = {
        0x0000000000000000ull, 0x8000000000000000ull, 0x7FF0000000000000ull, 0xFFF0000000000000ull,
        0x7FF8000000000000ull, 0x0000000000000001ull, 0x7FEFFFFFFFFFFFFFull, 0xFFEFFFFFFFFFFFFFull,
        0x3FF0000000000000ull, 0x0010000000000000ull, 0x7FEFFFFFFFFFFFFEull, 0x000FFFFFFFFFFFFFull};
    uint64_t r = next_u64(), m = next_u64();
    int e = e_min + (int)(r % (uint64_t)(e_max - e_min + 1)), e_lo = e - 54 - (int)((r >> 20) & 7);
    uint64_t sign = positive ? 0 : (r >> 63) << 63, hi, lo = 0, kind = (r >> 40) & 63;
    if (kind == 0)
        return _mm_set_pd(0.0, from_bits(specials[(r >> 48) % 12] | sign));
    if (e < -1022) e = -1022;
    if (e > 1023) e = 1023;
    hi = sign | ((uint64_t)(e + 1023) << 52) | (m & 0xFFFFFFFFFFFFFull);
    if (kind == 1)
        e_lo = -1022 + (int)(next_u64() % 2046);
    if (e_lo >= -1022)
        lo = ((r >> 62) & 1) << 63 | ((uint64_t)(e_lo + 1023) << 52) | (next_u64() & 0xFFFFFFFFFFFFFull);
    return _mm_set_pd(from_bits(lo), from_bits(hi));
}

struct fn_info {
    const char* name;
    int args;            /* argument pairs used */
    int e0, e1, f0, f1;  /* exponent ranges of the first and further arguments */
    int positive;        /* first argument non-negative */
};

#define N_FNS 33

static const struct fn_info fns[N_FNS] = {
    {"add", 2, -60, 60, -60, 60, 0},           {"sub", 2, -60, 60, -60, 60, 0},
    {"mul", 2, -1074, 1023, -1074, 1023, 0},   {"div", 2, -1074, 1023, -1074, 1023, 0},
    {"sqrt", 1, -1074, 1023, 0, 0, 1},         {"exact_mul_err", 2, -600, 600, -600, 600, 0},
    {"floor", 1, -10, 70, 0, 0, 0},            {"ceil", 1, -10, 70, 0, 0, 0},
    {"trunc", 1, -10, 70, 0, 0, 0},            {"round", 1, -10, 70, 0, 0, 0},
    {"fmod", 2, -30, 1023, -30, 40, 0},        {"exp", 1, -12, 10, 0, 0, 0},
    {"log", 1, -1074, 1023, 0, 0, 1},          {"pow", 2, -12, 12, -8, 6, 0},
    {"sinh", 1, -16, 10, 0, 0, 0},             {"cosh", 1, -16, 10, 0, 0, 0},
    {"tanh", 1, -16, 6, 0, 0, 0},              {"sincos", 1, -20, 64, 0, 0, 0},
    {"tan", 1, -20, 40, 0, 0, 0},              {"atan", 1, -40, 40, 0, 0, 0},
    {"asin", 1, -40, 0, 0, 0, 0},              {"acos", 1, -40, 0, 0, 0, 0},
    {"atan2", 2, -60, 1023, -60, 60, 0},       {"complex_add", 4, -40, 40, -40, 40, 0},
    {"complex_sub", 4, -40, 40, -40, 40, 0},   {"complex_mul", 4, -40, 500, -40, 500, 0},
    {"complex_div", 4, -40, 1023, -40, 1023, 0}, {"complex_abs", 2, -40, 600, -40, 600, 0},
    {"to_string", 1, -330, 330, 0, 0, 0},      {"from_string", 1, -330, 330, 0, 0, 0},
    {"add_top", 2, 1018, 1023, 1018, 1023, 0}, {"sub_top", 2, 1018, 1023, 1018, 1023, 0},
    {"mul_top", 2, 1010, 1023, -12, 13, 0},
};

/* Pair k of the result went from (±inf, -inf) or (±inf, NaN) to (±inf, +0),
 * the same infinity, or is unchanged. */
static int inf_pair_fixed(const double* a, const double* b, int k)
{
    if (bits(a[2 * k]) == bits(b[2 * k]) && bits(a[2 * k + 1]) == bits(b[2 * k + 1]))
        return 1;
    return !finite(a[2 * k]) && a[2 * k] == a[2 * k] && bits(b[2 * k]) == bits(a[2 * k]) &&
           bits(b[2 * k + 1]) == 0 && (a[2 * k + 1] != a[2 * k + 1] || a[2 * k + 1] == -a[2 * k]);
}

static void print_row(const char* what, const char* name, const double* x, const double* a, const double* b)
{
    printf("  %s %s: args %016llx %016llx %016llx %016llx old %016llx %016llx new %016llx %016llx\n", name, what,
           (unsigned long long)bits(x[0]), (unsigned long long)bits(x[1]), (unsigned long long)bits(x[2]),
           (unsigned long long)bits(x[3]), (unsigned long long)bits(a[0]), (unsigned long long)bits(a[1]),
           (unsigned long long)bits(b[0]), (unsigned long long)bits(b[1]));
}

int main(int argc, char** argv)
{
    long n = argc > 1 ? atol(argv[1]) : 1000000, other_total = 0;
    ostrell_t* in = malloc(sizeof(ostrell_t) * 4 * n);
    ostrell_t* r_old = malloc(sizeof(ostrell_t) * 2 * n);
    ostrell_t* r_new = malloc(sizeof(ostrell_t) * 2 * n);
    int fn;
    if (!in || !r_old || !r_new)
        return 2;
    for (fn = 0; fn < N_FNS; fn++) {
        const struct fn_info* f = &fns[fn];
        long i, changed = 0, rescued = 0, nan_bits = 0, other = 0, now_finite = 0, now_inf = 0, inf_pairs = 0;
        for (i = 0; i < n; i++) {
            int k;
            for (k = 0; k < 4; k++)
                in[4 * i + k] = k == 0 ? arg(f->e0, f->e1, f->positive) : arg(f->f0, f->f1, 0);
        }
        eval_old(fn, in, r_old, n);
        eval_new(fn, in, r_new, n);
        for (i = 0; i < n; i++) {
            const double* x = (const double*)(in + 4 * i);
            const double* a = (const double*)(r_old + 2 * i);
            const double* b = (const double*)(r_new + 2 * i);
            int k, nan_only = fn != 28, args_finite = 1, old_finite = 1, new_finite = 1;
            if (memcmp(a, b, 32) == 0)
                continue;
            changed++;
            for (k = 0; k < 4; k++) {
                if (bits(a[k]) != bits(b[k]) && !(a[k] != a[k] && b[k] != b[k]))
                    nan_only = 0;
                old_finite &= finite(a[k]);
                new_finite &= finite(b[k]);
            }
            for (k = 0; k < 2 * f->args; k++)
                args_finite &= finite(x[k]);
            if (fn == 28)  /* text: the old text said nan or inf */
                old_finite = !(strstr((const char*)a, "nan") || strstr((const char*)a, "inf"));
            if (fn != 28 && inf_pair_fixed(a, b, 0) && inf_pair_fixed(a, b, 1)) {
                inf_pairs++;
            } else if (nan_only) {
                if (++nan_bits <= 2)
                    print_row("NaN bits", f->name, x, a, b);
            } else if (args_finite && !old_finite) {
                rescued++;
                now_finite += new_finite;
                now_inf += !new_finite && !finite(b[0]) && b[0] == b[0] && b[1] == 0.0;
            } else if (++other <= 3) {
                print_row("other", f->name, x, a, b);
            }
        }
        printf("%-14s %ld rows, changed %ld: (+-inf, -+inf or NaN) now (+-inf, +0) %ld, "
               "other old non-finite for finite arguments %ld (now finite %ld, (+-inf, +0) %ld), "
               "NaN bits only %ld, other %ld\n",
               f->name, n, changed, inf_pairs, rescued, now_finite, now_inf, nan_bits, other);
        other_total += other;
    }
    printf("other changes: %ld\n", other_total);
    return other_total != 0;
}
