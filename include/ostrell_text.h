/* ostrell_text.h: decimal text that loses nothing.
 *
 *   size_t ostrell_format(char* buf, size_t size, ostrell_t x, int digits);
 *   int ostrell_parse(const char* first, const char* last, ostrell_t* value, const char** end);
 *
 * ostrell_format writes, with digits d > 0, the d-significant-digit decimal
 * nearest to the exact value hi + lo of the pair as given (ties to even);
 * with digits 0 (or negative) the shortest decimal that ostrell_parse reads
 * back as the same pair, the nearest to hi + lo among the shortest.  A pair
 * that is not canonical (see below) has no text that reads back as itself:
 * its shortest text is that of the canonical pair of the real hi + lo.
 * Notation: fixed when the decimal exponent of the first digit is in
 * [-5, 21), else scientific "d.ddde+N"; "nan", "inf", "-inf"; a zero is
 * "0" or "-0" (the sign of the high part), with d digits "0.000...".
 * Writes at most size bytes including the NUL and returns the length of
 * the whole text, as snprintf does.
 *
 * ostrell_parse reads the longest prefix of [first, last) that is a number:
 * optional sign, digits with an optional '.', optional exponent e/E with
 * optional sign and digits; or inf, infinity, nan in any case.  No leading
 * whitespace, no NUL needed.  It stores the canonical pair of the exact
 * value: hi = the binary64 nearest to v, lo = the binary64 nearest to
 * v - hi, then one exact fast-two-sum; a zero lo is +0.  Returns 0;
 * OSTRELL_PARSE_INVALID when there is no number (value untouched,
 * *end = first); OSTRELL_PARSE_RANGE on overflow (v at or beyond
 * 2^1024 - 2^970 - 2^916, where the canonical pair overflows: +-inf stored)
 * or underflow (v nonzero, not held exactly and below 2^-1022: the
 * correctly rounded pair, possibly a zero, stored).
 *
 * Both directions are exact big-integer arithmetic (no binary64 operation
 * rounds anything; the final fast-two-sum is exact).  Header-only; compiles
 * as C11 and C++17.
 */
#ifndef OSTRELL_TEXT_H
#define OSTRELL_TEXT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include "ostrell.h"

#ifdef __cplusplus
extern "C" {
#endif

#define OSTRELL_PARSE_INVALID 1
#define OSTRELL_PARSE_RANGE 2

/* ---- unsigned big integers ------------------------------------------------ */

/* 6720 bits: enough for every intermediate below (the largest, about 4700
 * bits, is a 1400-digit scaling of a pair spanning the whole exponent range). */
#define _OSTRELL_TEXT_LIMBS 210
/* Digits computed at most; every finite pair's exact decimal is shorter
 * (at most 1383 significant digits), so longer requests are zero-padded. */
#define _OSTRELL_TEXT_MAX_DIGITS 1400
/* Room for the decimal text of any big integer here. */
#define _OSTRELL_TEXT_DEC_ROOM 2048

typedef struct {
    int n;                           /* limbs in use; d[n - 1] != 0; 0 for zero */
    uint32_t d[_OSTRELL_TEXT_LIMBS]; /* base 2^32, least significant first */
} _ostrell_text_big;

static inline void _ostrell_text_big_u64(_ostrell_text_big* b, uint64_t v)
{
    b->n = 0;
    while (v) {
        b->d[b->n++] = (uint32_t)v;
        v >>= 32;
    }
}

static inline void _ostrell_text_big_copy(_ostrell_text_big* dst, const _ostrell_text_big* src)
{
    dst->n = src->n;
    memcpy(dst->d, src->d, (size_t)src->n * sizeof(uint32_t));
}

static inline void _ostrell_text_big_trim(_ostrell_text_big* b)
{
    while (b->n > 0 && b->d[b->n - 1] == 0)
        b->n--;
}

static inline int _ostrell_text_big_bits(const _ostrell_text_big* b)
{
    if (b->n == 0)
        return 0;
    return 32 * (b->n - 1) + (32 - __builtin_clz(b->d[b->n - 1]));
}

/* The value of bits [at, at + count) of b, at >= 0, count <= 64 (0 when
 * count <= 0): the three limbs that hold them, shifted down. */
static inline uint64_t _ostrell_text_big_field(const _ostrell_text_big* b, int at, int count)
{
    int w = at >> 5, s = at & 31;
    uint64_t r, d0, d1, d2;
    if (count <= 0)
        return 0;
    d0 = w < b->n ? b->d[w] : 0u;
    d1 = w + 1 < b->n ? b->d[w + 1] : 0u;
    d2 = w + 2 < b->n ? b->d[w + 2] : 0u;
    r = (d1 << 32 | d0) >> s;
    if (s)
        r |= d2 << (64 - s);
    return count < 64 ? r & ((1ull << count) - 1u) : r;
}

/* 1 when some bit of b below bit k is set. */
static inline int _ostrell_text_big_any_below(const _ostrell_text_big* b, int k)
{
    int w = k >> 5, i;
    for (i = 0; i < w && i < b->n; i++)
        if (b->d[i])
            return 1;
    return w < b->n && (k & 31) && (b->d[w] << (32 - (k & 31))) != 0;
}

/* b := b mod 2^k. */
static inline void _ostrell_text_big_low(_ostrell_text_big* b, int k)
{
    int w = k >> 5;
    if (w >= b->n)
        return;
    if (k & 31) {
        b->d[w] &= (1u << (k & 31)) - 1u;
        b->n = w + 1;
    } else {
        b->n = w;
    }
    _ostrell_text_big_trim(b);
}

static inline void _ostrell_text_big_shl(_ostrell_text_big* b, int k)
{
    int w = k >> 5, s = k & 31, i;
    if (b->n == 0 || k == 0)
        return;
    if (s == 0) {
        for (i = b->n - 1; i >= 0; i--)
            b->d[i + w] = b->d[i];
    } else {
        b->d[b->n + w] = b->d[b->n - 1] >> (32 - s);
        for (i = b->n - 1; i > 0; i--)
            b->d[i + w] = (b->d[i] << s) | (b->d[i - 1] >> (32 - s));
        b->d[w] = b->d[0] << s;
        b->n++;
    }
    for (i = 0; i < w; i++)
        b->d[i] = 0;
    b->n += w;
    _ostrell_text_big_trim(b);
}

/* b := floor(b / 2^k); returns 1 when a set bit was shifted out. */
static inline int _ostrell_text_big_shr(_ostrell_text_big* b, int k)
{
    int w = k >> 5, s = k & 31, i, lost;
    if (b->n == 0 || k == 0)
        return 0;
    if (w >= b->n) {
        b->n = 0;
        return 1;
    }
    lost = _ostrell_text_big_any_below(b, k);
    if (s == 0) {
        for (i = 0; i + w < b->n; i++)
            b->d[i] = b->d[i + w];
    } else {
        for (i = 0; i + w + 1 < b->n; i++)
            b->d[i] = (b->d[i + w] >> s) | (b->d[i + w + 1] << (32 - s));
        b->d[i] = b->d[i + w] >> s;
    }
    b->n -= w;
    _ostrell_text_big_trim(b);
    return lost;
}

/* b := b * m + a. */
static inline void _ostrell_text_big_muladd(_ostrell_text_big* b, uint32_t m, uint32_t a)
{
    uint64_t c = a;
    int i;
    for (i = 0; i < b->n; i++) {
        c += (uint64_t)b->d[i] * m;
        b->d[i] = (uint32_t)c;
        c >>= 32;
    }
    if (c)
        b->d[b->n++] = (uint32_t)c;
}

/* b := floor(b / m); returns b mod m. */
static inline uint32_t _ostrell_text_big_div(_ostrell_text_big* b, uint32_t m)
{
    uint64_t r = 0;
    int i;
    for (i = b->n - 1; i >= 0; i--) {
        uint64_t cur = (r << 32) | b->d[i];
        b->d[i] = (uint32_t)(cur / m);
        r = cur % m;
    }
    _ostrell_text_big_trim(b);
    return (uint32_t)r;
}

/* a := a + b. */
static inline void _ostrell_text_big_add(_ostrell_text_big* a, const _ostrell_text_big* b)
{
    uint64_t c = 0;
    int i, n = a->n > b->n ? a->n : b->n;
    for (i = 0; i < n; i++) {
        c += (uint64_t)(i < a->n ? a->d[i] : 0u) + (i < b->n ? b->d[i] : 0u);
        a->d[i] = (uint32_t)c;
        c >>= 32;
    }
    a->n = n;
    if (c)
        a->d[a->n++] = (uint32_t)c;
}

/* a := a - b, for a >= b. */
static inline void _ostrell_text_big_sub(_ostrell_text_big* a, const _ostrell_text_big* b)
{
    int64_t c = 0;
    int i;
    for (i = 0; i < a->n; i++) {
        c += (int64_t)a->d[i] - (i < b->n ? (int64_t)b->d[i] : 0);
        a->d[i] = (uint32_t)c;
        c = c < 0 ? -1 : 0;
    }
    _ostrell_text_big_trim(a);
}

static inline int _ostrell_text_big_cmp(const _ostrell_text_big* a, const _ostrell_text_big* b)
{
    int i;
    if (a->n != b->n)
        return a->n < b->n ? -1 : 1;
    for (i = a->n - 1; i >= 0; i--)
        if (a->d[i] != b->d[i])
            return a->d[i] < b->d[i] ? -1 : 1;
    return 0;
}

/* b := b + 2^k or b - 2^k (b >= 2^k). */
static inline void _ostrell_text_big_addpow2(_ostrell_text_big* b, int k, int subtract)
{
    _ostrell_text_big p;
    _ostrell_text_big_u64(&p, 1);
    _ostrell_text_big_shl(&p, k);
    if (subtract)
        _ostrell_text_big_sub(b, &p);
    else
        _ostrell_text_big_add(b, &p);
}

static const uint32_t _ostrell_text_pow5[14] = {
    1u, 5u, 25u, 125u, 625u, 3125u, 15625u, 78125u, 390625u, 1953125u,
    9765625u, 48828125u, 244140625u, 1220703125u};

/* b := floor(b * 2^f / 10^k); returns 1 when that dropped a nonzero fraction.
 * Shifts left before and right after a multiplication, right before a
 * division, so the integer floors compose to the floor of the quotient. */
static inline int _ostrell_text_big_scale(_ostrell_text_big* b, int f, int k)
{
    int e2 = f - k, lost = 0, j;
    if (e2 > 0)
        _ostrell_text_big_shl(b, e2);
    if (k < 0) {
        for (j = -k; j >= 13; j -= 13)
            _ostrell_text_big_muladd(b, 1220703125u, 0);
        if (j)
            _ostrell_text_big_muladd(b, _ostrell_text_pow5[j], 0);
    }
    if (e2 < 0)
        lost |= _ostrell_text_big_shr(b, -e2);
    if (k > 0) {
        for (j = k; j >= 13 && b->n; j -= 13)
            lost |= _ostrell_text_big_div(b, 1220703125u) != 0;
        if (j && b->n)
            lost |= _ostrell_text_big_div(b, _ostrell_text_pow5[j]) != 0;
    }
    return lost;
}

/* The decimal digits of b into out (no NUL); returns their count.  b is consumed. */
static inline int _ostrell_text_big_dec(_ostrell_text_big* b, char* out)
{
    uint32_t chunk[_OSTRELL_TEXT_DEC_ROOM / 9 + 1];
    int nc = 0, len = 0, i, j;
    char first[10];
    uint32_t c;
    if (b->n <= 2) {
        uint64_t v = b->n == 0 ? 0 : b->n == 1 ? b->d[0] : ((uint64_t)b->d[1] << 32 | b->d[0]);
        char tmp[20];
        do {
            tmp[len++] = (char)('0' + (int)(v % 10));
            v /= 10;
        } while (v);
        for (i = 0; i < len; i++)
            out[i] = tmp[len - 1 - i];
        return len;
    }
    while (b->n > 0)
        chunk[nc++] = _ostrell_text_big_div(b, 1000000000u);
    c = chunk[nc - 1];
    j = 0;
    do {
        first[j++] = (char)('0' + (int)(c % 10));
        c /= 10;
    } while (c);
    while (j > 0)
        out[len++] = first[--j];
    for (i = nc - 2; i >= 0; i--) {
        c = chunk[i];
        for (j = 8; j >= 0; j--) {
            out[len + j] = (char)('0' + (int)(c % 10));
            c /= 10;
        }
        len += 9;
    }
    return len;
}

/* ---- binary64 pieces -------------------------------------------------------- */

static inline uint64_t _ostrell_text_bits(double x)
{
    uint64_t u;
    memcpy(&u, &x, sizeof u);
    return u;
}

static inline double _ostrell_text_from_bits(uint64_t u)
{
    double x;
    memcpy(&x, &u, sizeof x);
    return x;
}

/* |x| = m * 2^e for finite x (m = 0 for a zero), m < 2^53. */
static inline uint64_t _ostrell_text_split(double x, int* e)
{
    uint64_t u = _ostrell_text_bits(x);
    int be = (int)((u >> 52) & 0x7ff);
    uint64_t m = u & 0xfffffffffffffull;
    if (be == 0) {
        *e = -1074;
        return m;
    }
    *e = be - 1075;
    return m | (1ull << 52);
}

/* m * 2^e for m <= 2^53 that is either >= 2^52 or has e == -1074 (the
 * results of rounding below); +inf past the largest binary64. */
static inline double _ostrell_text_make(uint64_t m, int e)
{
    if (m == (1ull << 53)) {
        m >>= 1;
        e++;
    }
    if (m < (1ull << 52))
        return _ostrell_text_from_bits(m);
    if (e + 1075 > 2046)
        return _ostrell_text_from_bits(0x7ff0000000000000ull);
    return _ostrell_text_from_bits(((uint64_t)(e + 1075) << 52) | (m & 0xfffffffffffffull));
}

/* floor(e * log10(2)) for |e| < 5000 (1262611 / 2^22 is low by 7.5e-8). */
static inline int _ostrell_text_log10_pow2(int e)
{
    int64_t t = (int64_t)e * 1262611;
    return (int)(t >= 0 ? t >> 22 : -((-t + (1 << 22) - 1) >> 22));
}

/* floor(e * log2(10)) within one, for |e| < 5000. */
static inline int _ostrell_text_log2_pow10(int e)
{
    int64_t t = (int64_t)e * 217706;
    return (int)(t >= 0 ? t >> 16 : -((-t + (1 << 16) - 1) >> 16));
}

/* |hi + lo| = x * 2^f exactly, for finite hi and lo.  Returns 1 when hi + lo
 * is negative, 0 when positive, -1 when zero (x is then 0). */
static inline int _ostrell_text_exact(double hi, double lo, _ostrell_text_big* x, int* f)
{
    _ostrell_text_big y;
    int eh, el, e0, neg;
    uint64_t mh = _ostrell_text_split(hi, &eh), ml = _ostrell_text_split(lo, &el);
    if (mh == 0 && ml == 0) {
        x->n = 0;
        *f = 0;
        return -1;
    }
    if (mh == 0 || ml == 0) {
        _ostrell_text_big_u64(x, mh ? mh : ml);
        *f = mh ? eh : el;
        return mh ? hi < 0.0 : lo < 0.0;
    }
    e0 = eh < el ? eh : el;
    _ostrell_text_big_u64(x, mh);
    _ostrell_text_big_shl(x, eh - e0);
    _ostrell_text_big_u64(&y, ml);
    _ostrell_text_big_shl(&y, el - e0);
    *f = e0;
    neg = hi < 0.0;
    if ((hi < 0.0) == (lo < 0.0)) {
        _ostrell_text_big_add(x, &y);
    } else if (_ostrell_text_big_cmp(x, &y) >= 0) {
        _ostrell_text_big_sub(x, &y);
        if (x->n == 0)
            return -1;
    } else {
        _ostrell_text_big_sub(&y, x);
        _ostrell_text_big_copy(x, &y);
        neg = lo < 0.0;
    }
    return neg;
}

/* ---- the canonical pair of an exact value ------------------------------------ */

/* t + frac = v * 2^s with 0 <= frac < 1 (frac > 0 when sticky), v >= 0.
 * Sets *hi, *lo (lo's sign relative to a positive v) to the canonical pair
 * before its final fast-two-sum and *exact to whether hi + lo == v.
 * Returns 0 when t holds too few bits to decide lo (only when s < 1076: at
 * s = 1076 every rounding bit of a binary64 is in t). */
static inline int _ostrell_text_round_pair(const _ostrell_text_big* t, int sticky, int s, double* hi,
                                           double* lo, int* exact)
{
    _ostrell_text_big m;
    int bt = _ostrell_text_big_bits(t), u, sh, up, rb, rest, bm, ul, shl, neg = 0;
    uint64_t hm, lm;
    if (bt == 0) {
        *hi = 0.0;
        *lo = 0.0;
        *exact = !sticky;
        return !sticky || s >= 1076;
    }
    u = bt - 1 - s - 52;
    if (u < -1074)
        u = -1074;
    sh = u + s;
    if (sh < 1)
        return 0; /* only with s < 1076, where t has more than 54 bits */
    hm = _ostrell_text_big_field(t, sh, bt - sh);
    rb = (int)_ostrell_text_big_field(t, sh - 1, 1);
    rest = sticky || _ostrell_text_big_any_below(t, sh - 1);
    up = rb && (rest || (hm & 1u));
    *hi = _ostrell_text_make(hm + (uint64_t)up, u);

    /* m: the magnitude of v - hi in units of 2^-s, floored; sticky for its fraction. */
    _ostrell_text_big_copy(&m, t);
    _ostrell_text_big_low(&m, sh);
    if (up) {
        _ostrell_text_big p;
        _ostrell_text_big_u64(&p, 1);
        _ostrell_text_big_shl(&p, sh);
        _ostrell_text_big_sub(&p, &m);
        if (sticky) {
            _ostrell_text_big one;
            _ostrell_text_big_u64(&one, 1);
            _ostrell_text_big_sub(&p, &one);
        }
        _ostrell_text_big_copy(&m, &p);
        neg = 1;
    }
    bm = _ostrell_text_big_bits(&m);
    if (bm == 0) {
        *lo = 0.0;
        *exact = !sticky;
        return !sticky || s >= 1076;
    }
    ul = bm - 1 - s - 52;
    if (ul < -1074)
        ul = -1074;
    shl = ul + s;
    if (shl < 1) {
        if (sticky)
            return 0;
        /* m has at most 53 bits and is exact: lo = m * 2^-s. */
        lm = _ostrell_text_big_field(&m, 0, bm) << -shl;
        *lo = _ostrell_text_make(lm, ul);
        *exact = 1;
    } else {
        lm = _ostrell_text_big_field(&m, shl, bm - shl);
        rb = (int)_ostrell_text_big_field(&m, shl - 1, 1);
        rest = sticky || _ostrell_text_big_any_below(&m, shl - 1);
        up = rb && (rest || (lm & 1u));
        *lo = _ostrell_text_make(lm + (uint64_t)up, ul);
        *exact = !rb && !rest;
    }
    if (neg)
        *lo = -*lo;
    return 1;
}

/* The canonical pair of +-(t + frac) * 2^-s into *value; returns 0 or
 * OSTRELL_PARSE_RANGE. */
static inline int _ostrell_text_finish(const _ostrell_text_big* t, int sticky, int s, int neg, ostrell_t* value,
                                       int* ok)
{
    double hi, lo, sum;
    int exact, r = 0;
    *ok = _ostrell_text_round_pair(t, sticky, s, &hi, &lo, &exact);
    if (!*ok)
        return 0;
    if (_ostrell_isinf_d(hi)) {
        lo = 0.0;
        r = OSTRELL_PARSE_RANGE;
    } else {
        sum = hi + lo; /* exact fast-two-sum: |lo| <= ulp(hi) / 2 */
        if (_ostrell_isinf_d(sum)) {
            hi = sum;
            lo = 0.0;
            r = OSTRELL_PARSE_RANGE;
        } else {
            lo = lo - (sum - hi);
            hi = sum;
            if (!exact && hi < 0x1p-1022)
                r = OSTRELL_PARSE_RANGE;
        }
    }
    if (lo == 0.0)
        lo = 0.0;
    if (neg) {
        hi = -hi;
        if (lo != 0.0)
            lo = -lo;
    }
    *value = ostrell_from_hi_lo(hi, lo);
    return r;
}

/* ---- parsing --------------------------------------------------------------- */

static inline int _ostrell_text_lower(char c) { return (unsigned char)c | 0x20; }

static inline int _ostrell_text_isdigit(char c) { return c >= '0' && c <= '9'; }

/* Length of the word w (lower case) at p (any case), 0 if it is not there. */
static inline size_t _ostrell_text_word(const char* p, const char* last, const char* w)
{
    size_t n = 0;
    while (w[n]) {
        if (p + n >= last || _ostrell_text_lower(p[n]) != w[n])
            return 0;
        n++;
    }
    return n;
}

static inline int ostrell_parse(const char* first, const char* last, ostrell_t* value, const char** end)
{
    const char *p = first, *ip, *ie, *fp, *fe;
    int neg = 0, r, ok, s, nk, kept_e, i;
    int64_t nint, nt, z, x, e10 = 0, keep, k;
    size_t w;
    int sticky = 0;
    _ostrell_text_big d, t;
    uint32_t acc = 0;
    int nacc = 0;

    if (end)
        *end = first;
    if (!first || !last || last <= first)
        return OSTRELL_PARSE_INVALID;
    if (*p == '+' || *p == '-') {
        neg = *p == '-';
        p++;
    }
    if ((w = _ostrell_text_word(p, last, "infinity")) || (w = _ostrell_text_word(p, last, "inf"))) {
        if (value)
            *value = ostrell_from_hi_lo(neg ? -HUGE_VAL : HUGE_VAL, 0.0);
        if (end)
            *end = p + w;
        return 0;
    }
    if ((w = _ostrell_text_word(p, last, "nan"))) {
        if (value)
            *value = ostrell_from_hi_lo(_ostrell_nan(), 0.0);
        if (end)
            *end = p + w;
        return 0;
    }
    ip = p;
    while (p < last && _ostrell_text_isdigit(*p))
        p++;
    ie = fp = fe = p;
    if (p < last && *p == '.') {
        fp = ++p;
        while (p < last && _ostrell_text_isdigit(*p))
            p++;
        fe = p;
    }
    nint = ie - ip;
    nt = nint + (fe - fp);
    if (nt == 0)
        return OSTRELL_PARSE_INVALID;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        int eneg = 0;
        if (q < last && (*q == '+' || *q == '-')) {
            eneg = *q == '-';
            q++;
        }
        if (q < last && _ostrell_text_isdigit(*q)) {
            while (q < last && _ostrell_text_isdigit(*q)) {
                if (e10 < 1000000000000000000 / 10) /* beyond, the value is 0 or inf anyway */
                    e10 = e10 * 10 + (*q - '0');
                q++;
            }
            if (eneg)
                e10 = -e10;
            p = q;
        }
    }
    if (end)
        *end = p;
#define _OSTRELL_TEXT_DIGIT(k) ((k) < nint ? ip[k] : fp[(k) - nint])
    for (z = 0; z < nt && _OSTRELL_TEXT_DIGIT(z) == '0'; z++) {
    }
    if (z == nt) {
        if (value)
            *value = ostrell_from_hi_lo(neg ? -0.0 : 0.0, 0.0);
        return 0;
    }
    x = nint - 1 - z + e10; /* decimal exponent of the first significant digit */
    if (x > 309) {
        if (value)
            *value = ostrell_from_hi_lo(neg ? -HUGE_VAL : HUGE_VAL, 0.0);
        return OSTRELL_PARSE_RANGE;
    }
    if (x < -324) { /* below 1e-324 < 2^-1075: rounds to zero */
        if (value)
            *value = ostrell_from_hi_lo(neg ? -0.0 : 0.0, 0.0);
        return OSTRELL_PARSE_RANGE;
    }
    /* Digits below 10^-1080 only matter as a sticky bit: truncating there
     * moves v * 2^s (s <= 1076) by less than the gap from a truncated value
     * to the next integer. */
    keep = x + 1081;
    if (keep > nt - z)
        keep = nt - z;
    for (k = z + keep; k < nt && !sticky; k++)
        sticky = _OSTRELL_TEXT_DIGIT(k) != '0';
    while (_OSTRELL_TEXT_DIGIT(z + keep - 1) == '0')
        keep--;
    nk = (int)keep;
    kept_e = (int)x - (nk - 1);
    d.n = 0;
    for (i = 0; i < nk; i++) {
        acc = acc * 10u + (uint32_t)(_OSTRELL_TEXT_DIGIT(z + i) - '0');
        if (++nacc == 9) {
            _ostrell_text_big_muladd(&d, 1000000000u, acc);
            acc = 0;
            nacc = 0;
        }
    }
    if (nacc)
        _ostrell_text_big_muladd(&d, _ostrell_text_pow5[nacc] << nacc, acc);
#undef _OSTRELL_TEXT_DIGIT

    /* First with about 190 bits of v, then, if lo is not decided by them, with
     * every bit down to 2^-1076. */
    s = 190 - _ostrell_text_log2_pow10((int)x);
    if (s > 1076)
        s = 1076;
    for (;;) {
        ostrell_t v;
        int st;
        _ostrell_text_big_copy(&t, &d);
        st = _ostrell_text_big_scale(&t, s, -kept_e) | sticky;
        r = _ostrell_text_finish(&t, st, s, neg, &v, &ok);
        if (ok) {
            if (value)
                *value = v;
            return r;
        }
        s = 1076;
    }
}

/* ---- digits ------------------------------------------------------------------ */

/* Rounds the digits s[0, len) to their first keep (< len), ties to even;
 * sticky: a nonzero fraction beyond s[len - 1].  Returns 1 when the rounding
 * carried out of the first digit: s[0, keep] is then "100...0", keep + 1
 * digits. */
static inline int _ostrell_text_round_digits(char* s, int len, int keep, int sticky)
{
    int up, i;
    if (s[keep] != '5') {
        up = s[keep] > '5';
    } else {
        int rest = sticky;
        for (i = keep + 1; i < len && !rest; i++)
            rest = s[i] != '0';
        up = rest || (keep > 0 && ((s[keep - 1] - '0') & 1));
    }
    if (!up)
        return 0;
    for (i = keep - 1; i >= 0; i--) {
        if (s[i] != '9') {
            s[i]++;
            return 0;
        }
        s[i] = '0';
    }
    s[0] = '1';
    for (i = 1; i <= keep; i++)
        s[i] = '0';
    return 1;
}

/* The n (1..1400) significant digits of x * 2^f (x > 0) rounded to nearest,
 * ties to even, into out (room _OSTRELL_TEXT_DEC_ROOM); returns the decimal
 * exponent of the first digit. */
static inline int _ostrell_text_sig_digits(const _ostrell_text_big* x, int f, int n, char* out)
{
    int x0 = _ostrell_text_log10_pow2(_ostrell_text_big_bits(x) - 1 + f);
    for (;;) {
        _ostrell_text_big t;
        int k = x0 - n, sticky, len;
        _ostrell_text_big_copy(&t, x);
        sticky = _ostrell_text_big_scale(&t, f, k);
        len = _ostrell_text_big_dec(&t, out);
        if (len <= n) { /* the estimate was one too high */
            x0--;
            continue;
        }
        return k + len - 1 + _ostrell_text_round_digits(out, len, n, sticky);
    }
}

/* Decimal string s[0, n) plus or minus a small a (never below zero). */
static inline void _ostrell_text_dec_add(char* s, int n, uint64_t a)
{
    int i;
    for (i = n - 1; i >= 0 && a; i--) {
        uint64_t v = (uint64_t)(s[i] - '0') + a;
        s[i] = (char)('0' + (int)(v % 10));
        a = v / 10;
    }
}

static inline void _ostrell_text_dec_sub(char* s, int n, uint64_t a)
{
    int i;
    for (i = n - 1; i >= 0 && a; i--) {
        int v = (s[i] - '0') - (int)(a % 10);
        a /= 10;
        if (v < 0) {
            v += 10;
            a++;
        }
        s[i] = (char)('0' + v);
    }
}

static inline uint64_t _ostrell_text_big_small(const _ostrell_text_big* b)
{
    return b->n == 0 ? 0 : b->n == 1 ? b->d[0] : ((uint64_t)b->d[1] << 32 | b->d[0]);
}

/* The shortest digits of the finite canonical pair (h > 0, l): the fewest
 * significant digits whose decimal lies in the interval of reals whose
 * canonical pair is (h, l), and among those the nearest to v = xv * 2^fv
 * (v in that interval; ties to an even last digit).  Writes them to out
 * (room _OSTRELL_TEXT_DEC_ROOM), sets *len, returns the decimal exponent of
 * the first digit. */
static inline int _ostrell_text_shortest_digits(double h, double l, const _ostrell_text_big* xv, int fv,
                                                int v_is_pair, char* out, int* len)
{
    _ostrell_text_big xc, xa, xb, ta, tb, tv;
    char lo_s[_OSTRELL_TEXT_DEC_ROOM + 1], hi_s[_OSTRELL_TEXT_DEC_ROOM + 1];
    int eh, lo_e, hi_e, closed, fc, g, q, i, p, n, c, z, sa, sb, sv, half, up, k;
    uint64_t mh = _ostrell_text_split(h, &eh);

    /* The interval around h + l, [h + l - 2^lo_e, h + l + 2^hi_e], both ends
     * in it when closed: l's own rounding interval (half the gap to each
     * neighbour), except that when |l| is half the gap from h to its
     * neighbour on l's side, the interval reaches past that midpoint only as
     * far as it reaches on the inner side: beyond it the reals round first to
     * the odd neighbour, and the fast-two-sum brings back (h, l) only those
     * whose low part rounds to exactly -l. */
    if (l == 0.0) {
        lo_e = hi_e = -1075;
        closed = 1;
    } else {
        int e, away, toward, ge, lg;
        uint64_t m = _ostrell_text_split(l, &e);
        away = e - 1;
        toward = (m == (1ull << 52) && e > -1074) ? e - 2 : e - 1;
        ge = (l > 0.0 || !(mh == (1ull << 52) && eh > -1074)) ? eh : eh - 1;
        lg = (m & (m - 1)) == 0 ? 63 - __builtin_clzll(m) + e : 100000;
        if (lg == ge - 1)
            away = toward;
        closed = !(m & 1u);
        lo_e = l > 0.0 ? toward : away;
        hi_e = l > 0.0 ? away : toward;
    }
    _ostrell_text_exact(h, l, &xc, &fc);

    /* h + l is a multiple of 10^k, k = min(fc, 0): its exact decimal ends
     * there.  When 10^k exceeds both half-widths, a decimal in the interval
     * with fewer digits would differ from h + l by a nonzero multiple of 10^k:
     * there is none, and the exact decimal is the shortest and the nearest.
     * (Plain binary64 values of 2^-271 and more are such pairs.) */
    k = fc < 0 ? fc : 0;
    if (v_is_pair && k > _ostrell_text_log10_pow2(lo_e > hi_e ? lo_e : hi_e)) {
        _ostrell_text_big_scale(&xc, fc, k);
        n = _ostrell_text_big_dec(&xc, out);
        while (n > 1 && out[n - 1] == '0') {
            n--;
            k++;
        }
        *len = n;
        return k + n - 1;
    }
    g = fc < lo_e ? fc : lo_e;
    g = g < hi_e ? g : hi_e;
    _ostrell_text_big_shl(&xc, fc - g);
    _ostrell_text_big_copy(&xa, &xc);
    _ostrell_text_big_addpow2(&xa, lo_e - g, 1);
    _ostrell_text_big_copy(&xb, &xc);
    _ostrell_text_big_addpow2(&xb, hi_e - g, 0);

    /* The scale 10^q at most the interval's width; then the integers
     * [lo + 1, hi] are the multiples of 10^q in the interval. */
    q = _ostrell_text_log10_pow2(lo_e > hi_e ? lo_e : hi_e);
    for (;;) {
        _ostrell_text_big_copy(&ta, &xa);
        sa = _ostrell_text_big_scale(&ta, g, q);
        if (closed && !sa)
            _ostrell_text_big_addpow2(&ta, 0, 1);
        _ostrell_text_big_copy(&tb, &xb);
        sb = _ostrell_text_big_scale(&tb, g, q);
        if (!closed && !sb)
            _ostrell_text_big_addpow2(&tb, 0, 1);
        if (_ostrell_text_big_cmp(&ta, &tb) < 0)
            break;
        q--;
    }
    _ostrell_text_big_copy(&tv, xv);
    sv = _ostrell_text_big_scale(&tv, fv + 1, q);
    half = tv.n && (tv.d[0] & 1u);
    _ostrell_text_big_shr(&tv, 1);
    /* lo <= floor(v / 10^q) <= hi, within a few units (the width is below 20 * 10^q). */
    _ostrell_text_big_sub(&tb, &tv);
    _ostrell_text_big_copy(&xc, &tv);
    _ostrell_text_big_sub(&xc, &ta);

    /* The digits of floor(v / 10^q), of lo and of hi, one leading zero each. */
    out[0] = '0';
    n = 1 + _ostrell_text_big_dec(&tv, out + 1);
    memcpy(lo_s, out, (size_t)n);
    memcpy(hi_s, out, (size_t)n);
    _ostrell_text_dec_sub(lo_s, n, _ostrell_text_big_small(&xc));
    _ostrell_text_dec_add(hi_s, n, _ostrell_text_big_small(&tb));

    /* The coarsest scale holding a candidate: the first digit where lo and hi
     * differ; candidates there are lo_s[p] + 1 .. hi_s[p]. */
    for (p = 0; lo_s[p] == hi_s[p]; p++) {
    }
    if (p + 1 < n) {
        if (out[p + 1] != '5') {
            up = out[p + 1] > '5';
        } else {
            up = sv || half;
            for (i = p + 2; i < n && !up; i++)
                up = out[i] != '0';
            if (!up) /* exactly half way: to the even digit */
                up = (out[p] - '0') & 1;
        }
    } else {
        up = half && (sv || ((out[p] - '0') & 1));
    }
    c = out[p] - '0' + up;
    if (c <= lo_s[p] - '0')
        c = lo_s[p] - '0' + 1;
    if (c > hi_s[p] - '0')
        c = hi_s[p] - '0';
    for (z = 0; z < p && out[z] == '0'; z++) {
    }
    memmove(out, out + z, (size_t)(p - z));
    out[p - z] = (char)('0' + c);
    *len = p - z + 1;
    return q + (n - 1 - p) + (p - z);
}

/* ---- writing ------------------------------------------------------------------ */

typedef struct {
    char* buf;
    size_t room; /* characters that may be written */
    size_t pos;  /* characters of the whole text so far */
} _ostrell_text_out;

static inline void _ostrell_text_put(_ostrell_text_out* o, char c)
{
    if (o->pos < o->room)
        o->buf[o->pos] = c;
    o->pos++;
}

static inline void _ostrell_text_puts(_ostrell_text_out* o, const char* s)
{
    while (*s)
        _ostrell_text_put(o, *s++);
}

static inline void _ostrell_text_put_chars(_ostrell_text_out* o, const char* s, size_t n)
{
    if (o->pos < o->room)
        memcpy(o->buf + o->pos, s, o->room - o->pos < n ? o->room - o->pos : n);
    o->pos += n;
}

static inline void _ostrell_text_put_zeros(_ostrell_text_out* o, size_t n)
{
    if (o->pos < o->room) {
        size_t k = o->room - o->pos < n ? o->room - o->pos : n;
        memset(o->buf + o->pos, '0', k);
    }
    o->pos += n;
}

/* Digits dig[0, nd) followed by pad zeros, with the first digit's decimal
 * exponent x10: in fixed notation when fixed, else as d.ddde+N with at least
 * exp_min exponent digits.  point: the point also when no digit follows it. */
static inline void _ostrell_text_put_number(_ostrell_text_out* o, const char* dig, int nd, size_t pad, int x10,
                                            int fixed, int point, int exp_min)
{
    size_t total = (size_t)nd + pad;
    if (fixed) {
        if (x10 >= 0) {
            size_t ni = (size_t)x10 + 1;
            if (ni >= (size_t)nd) {
                _ostrell_text_put_chars(o, dig, (size_t)nd);
                _ostrell_text_put_zeros(o, ni - (size_t)nd);
            } else {
                _ostrell_text_put_chars(o, dig, ni);
            }
            if (total > ni || point)
                _ostrell_text_put(o, '.');
            if (ni < (size_t)nd)
                _ostrell_text_put_chars(o, dig + ni, (size_t)nd - ni);
            if (total > ni)
                _ostrell_text_put_zeros(o, total - (ni > (size_t)nd ? ni : (size_t)nd));
        } else {
            _ostrell_text_puts(o, "0.");
            _ostrell_text_put_zeros(o, (size_t)(-x10 - 1));
            _ostrell_text_put_chars(o, dig, (size_t)nd);
            _ostrell_text_put_zeros(o, pad);
        }
    } else {
        char e[8];
        int k = 0, a = x10 < 0 ? -x10 : x10;
        _ostrell_text_put(o, dig[0]);
        if (total > 1 || point)
            _ostrell_text_put(o, '.');
        _ostrell_text_put_chars(o, dig + 1, (size_t)nd - 1);
        _ostrell_text_put_zeros(o, pad);
        _ostrell_text_put(o, 'e');
        _ostrell_text_put(o, x10 < 0 ? '-' : '+');
        do {
            e[k++] = (char)('0' + a % 10);
            a /= 10;
        } while (a);
        while (k < exp_min)
            e[k++] = '0';
        while (k > 0)
            _ostrell_text_put(o, e[--k]);
    }
}

/* ostrell_format's notation: fixed for x10 in [-5, 21), else scientific. */
static inline void _ostrell_text_put_format(_ostrell_text_out* o, const char* dig, int nd, size_t pad, int x10)
{
    _ostrell_text_put_number(o, dig, nd, pad, x10, x10 >= -5 && x10 < 21, 0, 1);
}

/* "nan", "inf", "-inf" for a pair whose value is not finite; 0 when it is finite. */
static inline const char* _ostrell_text_nonfinite(double hi, double lo)
{
    if (hi != hi || lo != lo || (_ostrell_isinf_d(hi) && _ostrell_isinf_d(lo) && (hi < 0.0) != (lo < 0.0)))
        return "nan";
    if (_ostrell_isinf_d(hi))
        return hi < 0.0 ? "-inf" : "inf";
    if (_ostrell_isinf_d(lo))
        return lo < 0.0 ? "-inf" : "inf";
    return 0;
}

/* ostrell_format's text into buf: at most room characters, no NUL; returns
 * the length of the whole text. */
static inline size_t _ostrell_text_format_raw(char* buf, size_t room, ostrell_t x, int digits)
{
    _ostrell_text_out o;
    _ostrell_text_big big;
    char dig[_OSTRELL_TEXT_DEC_ROOM];
    double hi, lo;
    const char* word;
    int f, sign, nd, x10;
    o.buf = buf;
    o.room = buf ? room : 0;
    o.pos = 0;
    ostrell_extract(x, &hi, &lo);
    if ((word = _ostrell_text_nonfinite(hi, lo))) {
        _ostrell_text_puts(&o, word);
        return o.pos;
    }
    sign = _ostrell_text_exact(hi, lo, &big, &f);
    if (sign < 0) {
        if (hi == 0.0 && (_ostrell_text_bits(hi) >> 63))
            _ostrell_text_put(&o, '-');
        _ostrell_text_put(&o, '0');
        if (digits > 1) {
            _ostrell_text_put(&o, '.');
            _ostrell_text_put_zeros(&o, (size_t)digits - 1);
        }
        return o.pos;
    }
    if (sign)
        _ostrell_text_put(&o, '-');
    if (digits > 0) {
        nd = digits < _OSTRELL_TEXT_MAX_DIGITS ? digits : _OSTRELL_TEXT_MAX_DIGITS;
        x10 = _ostrell_text_sig_digits(&big, f, nd, dig);
        _ostrell_text_put_format(&o, dig, nd, (size_t)digits - (size_t)nd, x10);
        return o.pos;
    }
    {
        double h = sign ? -hi : hi, l = sign ? -lo : lo;
        int v_is_pair = hi + lo == hi && hi != 0.0;
        if (!v_is_pair) {
            /* Not canonical: the canonical pair of |hi + lo|. */
            _ostrell_text_big t;
            ostrell_t c = _mm_setzero_pd();
            int ok;
            _ostrell_text_big_copy(&t, &big);
            _ostrell_text_big_shl(&t, f + 1076);
            _ostrell_text_finish(&t, 0, 1076, 0, &c, &ok);
            ostrell_extract(c, &h, &l);
            if (_ostrell_isinf_d(h)) {
                _ostrell_text_puts(&o, "inf");
                return o.pos;
            }
        }
        x10 = _ostrell_text_shortest_digits(h, l, &big, f, v_is_pair, dig, &nd);
        _ostrell_text_put_format(&o, dig, nd, 0, x10);
    }
    return o.pos;
}

/* Writes x with `digits` significant digits (> 0) or shortest (<= 0); see
 * the top of this header. */
static inline size_t ostrell_format(char* buf, size_t size, ostrell_t x, int digits)
{
    size_t n = _ostrell_text_format_raw(buf, size ? size - 1 : 0, x, digits);
    if (buf && size)
        buf[n < size - 1 ? n : size - 1] = '\0';
    return n;
}

/* printf-like forms for streams: conv 'f' (prec digits after the point), 'e'
 * (prec digits after the first, exponent of at least two digits) or 'g'
 * (prec significant digits, trailing zeros dropped unless showpoint; fixed
 * for exponents in [-4, prec)), correctly rounded, ties to even.  No NUL;
 * returns the whole length. */
static inline size_t _ostrell_text_format_printf(char* buf, size_t room, ostrell_t x, char conv, int prec,
                                                 int showpoint)
{
    _ostrell_text_out o;
    _ostrell_text_big big;
    char dig[_OSTRELL_TEXT_DEC_ROOM];
    double hi, lo;
    const char* word;
    int f, sign, nd = 1, x10 = 0;
    size_t pad = 0;
    o.buf = buf;
    o.room = buf ? room : 0;
    o.pos = 0;
    if (prec < 0)
        prec = 6;
    ostrell_extract(x, &hi, &lo);
    if ((word = _ostrell_text_nonfinite(hi, lo))) {
        _ostrell_text_puts(&o, word);
        return o.pos;
    }
    sign = _ostrell_text_exact(hi, lo, &big, &f);
    if (sign < 0)
        sign = hi == 0.0 && (_ostrell_text_bits(hi) >> 63);
    if (sign)
        _ostrell_text_put(&o, '-');
    if (conv == 'f') {
        /* round(v * 10^prec) as digits; beyond 1075 places every pair is exact. */
        int p = prec < 1075 ? prec : 1075;
        pad = (size_t)prec - (size_t)p;
        if (big.n == 0) {
            dig[0] = '0';
            nd = 1;
        } else {
            _ostrell_text_big t;
            int len, st;
            _ostrell_text_big_copy(&t, &big);
            st = _ostrell_text_big_scale(&t, f, -p - 1);
            len = _ostrell_text_big_dec(&t, dig);
            if (len == 1) { /* v * 10^(p+1) < 10: one digit to drop, keep "0" */
                memmove(dig + 1, dig, 1);
                dig[0] = '0';
                len = 2;
            }
            nd = len - 1 + _ostrell_text_round_digits(dig, len, len - 1, st);
        }
        /* The first digit of round(v * 10^p) weighs 10^(nd - 1 - p). */
        _ostrell_text_put_number(&o, dig, nd, pad, nd - 1 - p, 1, showpoint, 1);
        return o.pos;
    }
    {
        int want = conv == 'e' ? prec + 1 : (prec == 0 ? 1 : prec), fixed;
        nd = want < _OSTRELL_TEXT_MAX_DIGITS ? want : _OSTRELL_TEXT_MAX_DIGITS;
        pad = (size_t)want - (size_t)nd;
        if (big.n == 0) {
            memset(dig, '0', (size_t)nd);
            x10 = 0;
        } else {
            x10 = _ostrell_text_sig_digits(&big, f, nd, dig);
        }
        fixed = conv == 'g' && x10 >= -4 && x10 < want;
        if (conv == 'g' && !showpoint) {
            pad = 0;
            while (nd > 1 && dig[nd - 1] == '0')
                nd--;
        }
        _ostrell_text_put_number(&o, dig, nd, pad, x10, fixed, showpoint, 2);
    }
    return o.pos;
}

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_TEXT_H */
