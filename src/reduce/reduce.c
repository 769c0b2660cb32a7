/* reduce/reduce.c: the sums and dot products of ostrell_reduce.h, whose
 * comment fixes their order of operations.  One generic body per loop, thin
 * per-path wrappers with target attributes. */
#include <immintrin.h>

#include "ostrell_reduce.h"

#include "simd/avx512.h"

/* The lanes' double-double sums (hi[j], lo[j]), in lane order. */
typedef struct _ostrell_reduce_lanes {
    double hi[OSTRELL_REDUCE_LANES];
    double lo[OSTRELL_REDUCE_LANES];
} _ostrell_reduce_lanes;

static inline void _ostrell_reduce_init(_ostrell_reduce_lanes* L)
{
    int j;
    for (j = 0; j < OSTRELL_REDUCE_LANES; ++j) {
        L->hi[j] = 0.0;
        L->lo[j] = 0.0;
    }
}

/* One step of lane j, (hi, lo) + (h, l): the steps of ostrell_add without
 * its overflow branches (a lane that overflows stays non-finite). */
static inline void _ostrell_reduce_step(_ostrell_reduce_lanes* L, int j, double h, double l)
{
    double s_hi = L->hi[j];
    double s = s_hi + h;
    double bb = s - s_hi;
    double e = (s_hi - (s - bb)) + (h - bb);
    double hi;
    e = e + (L->lo[j] + l);
    hi = s + e;
    L->lo[j] = e - (hi - s);
    L->hi[j] = hi;
}

/* The same step for a binary64 value: no low part to add to lo. */
static inline void _ostrell_reduce_step1(_ostrell_reduce_lanes* L, int j, double h)
{
    double s_hi = L->hi[j];
    double s = s_hi + h;
    double bb = s - s_hi;
    double e = (s_hi - (s - bb)) + (h - bb);
    double hi;
    e = e + L->lo[j];
    hi = s + e;
    L->lo[j] = e - (hi - s);
    L->hi[j] = hi;
}

static inline int _ostrell_reduce_finite(double t) { return fabs(t) <= OSTRELL_DBL_MAX; }

/* 1 when every lane's hi and lo is finite. */
static inline int _ostrell_reduce_lanes_finite(const _ostrell_reduce_lanes* L)
{
    int j, ok = 1;
    for (j = 0; j < OSTRELL_REDUCE_LANES; ++j)
        ok &= _ostrell_reduce_finite(L->hi[j]) & _ostrell_reduce_finite(L->lo[j]);
    return ok;
}

/* The lanes combined in order by ostrell_add. */
static inline ostrell_t _ostrell_reduce_combine(const _ostrell_reduce_lanes* L)
{
    ostrell_t acc = ostrell_from_hi_lo(L->hi[0], L->lo[0]);
    int j;
    for (j = 1; j < OSTRELL_REDUCE_LANES; ++j)
        acc = ostrell_add(acc, ostrell_from_hi_lo(L->hi[j], L->lo[j]));
    return acc;
}

/* S_hi + S_lo of the non-finite case, from the lanes' plain sums. */
static inline ostrell_t _ostrell_reduce_plain(const double* lane_hi, const double* lane_lo)
{
    double t_hi = 0.0, t_lo = 0.0;
    int j;
    for (j = 0; j < OSTRELL_REDUCE_LANES; ++j) {
        t_hi = t_hi + lane_hi[j];
        t_lo = t_lo + lane_lo[j];
    }
    return ostrell_from_double(t_hi + t_lo);
}

/* ---- the vector loops: one generic body, thin per-path wrappers ---------- */

/* The lane step on vectors of lanes (s_hi, s_lo) + (h, l); l = ADD(s_lo, l)
 * is passed in already added, or s_lo alone for binary64 values. */
#define _OSTRELL_REDUCE_VSTEP(V, ADD, SUB, s_hi, s_lo, h, lo_sum)              \
    do {                                                                       \
        V s_ = ADD(s_hi, h);                                                   \
        V bb_ = SUB(s_, s_hi);                                                 \
        V e_ = ADD(SUB(s_hi, SUB(s_, bb_)), SUB(h, bb_));                      \
        e_ = ADD(e_, lo_sum);                                                  \
        s_hi = ADD(s_, e_);                                                    \
        s_lo = SUB(e_, SUB(s_hi, s_));                                         \
    } while (0)

/* Binary64 values: blocks of 16 values, lane j of the state in vector j / W,
 * element j % W.  V is the vector type, W its width, LOAD/STORE unaligned. */
#define _OSTRELL_REDUCE_F64_BODY(V, W, LOAD, STORE, ADD, SUB)                  \
    {                                                                          \
        enum { NV = OSTRELL_REDUCE_LANES / (W) };                              \
        V s[NV], c[NV];                                                        \
        size_t b;                                                              \
        int v;                                                                 \
        for (v = 0; v < NV; ++v) {                                             \
            s[v] = LOAD(L->hi + v * (W));                                      \
            c[v] = LOAD(L->lo + v * (W));                                      \
        }                                                                      \
        for (b = 0; b < nblocks; ++b, x += OSTRELL_REDUCE_LANES) {            \
            for (v = 0; v < NV; ++v) {                                         \
                V h = LOAD(x + v * (W));                                       \
                _OSTRELL_REDUCE_VSTEP(V, ADD, SUB, s[v], c[v], h, c[v]);       \
            }                                                                  \
        }                                                                      \
        for (v = 0; v < NV; ++v) {                                             \
            STORE(L->hi + v * (W), s[v]);                                      \
            STORE(L->lo + v * (W), c[v]);                                      \
        }                                                                      \
    }

/* Rows: blocks of 16 rows.  Two loads of W/2 rows each are split into a
 * vector of high parts and one of low parts by unpacklo/unpackhi, which
 * takes the rows of a block of W in the order PERM (per path); the state's
 * lanes are loaded and stored through the same order, so lane j still takes
 * exactly the rows i with i mod 16 = j. */
#define _OSTRELL_REDUCE_ROWS_BODY(V, W, PERM, LOAD, STORE, ADD, SUB, UNLO, UNHI) \
    {                                                                          \
        enum { NV = OSTRELL_REDUCE_LANES / (W) };                              \
        static const int perm[W] = PERM;                                       \
        double tmp_s[W], tmp_c[W];                                             \
        V s[NV], c[NV];                                                        \
        size_t b;                                                              \
        int v, k;                                                              \
        for (v = 0; v < NV; ++v) {                                             \
            for (k = 0; k < (W); ++k) {                                        \
                tmp_s[k] = L->hi[v * (W) + perm[k]];                           \
                tmp_c[k] = L->lo[v * (W) + perm[k]];                           \
            }                                                                  \
            s[v] = LOAD(tmp_s);                                                \
            c[v] = LOAD(tmp_c);                                                \
        }                                                                      \
        for (b = 0; b < nblocks; ++b, x += 2 * OSTRELL_REDUCE_LANES) {        \
            for (v = 0; v < NV; ++v) {                                         \
                V r0 = LOAD(x + 2 * v * (W));                                  \
                V r1 = LOAD(x + 2 * v * (W) + (W));                            \
                V h = UNLO(r0, r1);                                            \
                V l = UNHI(r0, r1);                                            \
                _OSTRELL_REDUCE_VSTEP(V, ADD, SUB, s[v], c[v], h, ADD(c[v], l)); \
            }                                                                  \
        }                                                                      \
        for (v = 0; v < NV; ++v) {                                             \
            STORE(tmp_s, s[v]);                                                \
            STORE(tmp_c, c[v]);                                                \
            for (k = 0; k < (W); ++k) {                                        \
                L->hi[v * (W) + perm[k]] = tmp_s[k];                           \
                L->lo[v * (W) + perm[k]] = tmp_c[k];                           \
            }                                                                  \
        }                                                                      \
    }

#define _OSTRELL_PERM2 {0, 1}
#define _OSTRELL_PERM4 {0, 2, 1, 3}
#define _OSTRELL_PERM8 {0, 4, 1, 5, 2, 6, 3, 7}

static inline void _ostrell_reduce_f64_sse2(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_F64_BODY(__m128d, 2, _mm_loadu_pd, _mm_storeu_pd, _mm_add_pd, _mm_sub_pd)

static inline void _ostrell_reduce_rows_sse2(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_ROWS_BODY(__m128d, 2, _OSTRELL_PERM2, _mm_loadu_pd, _mm_storeu_pd, _mm_add_pd,
                              _mm_sub_pd, _mm_unpacklo_pd, _mm_unpackhi_pd)

static __attribute__((target("avx2"), noinline, unused)) void
_ostrell_reduce_f64_avx2(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_F64_BODY(__m256d, 4, _mm256_loadu_pd, _mm256_storeu_pd, _mm256_add_pd,
                             _mm256_sub_pd)

static __attribute__((target("avx2"), noinline, unused)) void
_ostrell_reduce_rows_avx2(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_ROWS_BODY(__m256d, 4, _OSTRELL_PERM4, _mm256_loadu_pd, _mm256_storeu_pd,
                              _mm256_add_pd, _mm256_sub_pd, _mm256_unpacklo_pd, _mm256_unpackhi_pd)

static __attribute__((target("avx512f"), noinline, unused)) void
_ostrell_reduce_f64_avx512(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_F64_BODY(__m512d, 8, _mm512_loadu_pd, _mm512_storeu_pd, _mm512_add_pd,
                             _mm512_sub_pd)

static __attribute__((target("avx512f"), noinline, unused)) void
_ostrell_reduce_rows_avx512(_ostrell_reduce_lanes* L, const double* x, size_t nblocks)
    _OSTRELL_REDUCE_ROWS_BODY(__m512d, 8, _OSTRELL_PERM8, _mm512_loadu_pd, _mm512_storeu_pd,
                              _mm512_add_pd, _mm512_sub_pd, _ostrell_avx512_unpacklo,
                              _ostrell_avx512_unpackhi)

/* Runs the vector loop of the path over n / 16 whole blocks of binary64
 * values and returns how many values it took. */
static inline size_t _ostrell_reduce_f64_blocks(ostrell_isa isa, _ostrell_reduce_lanes* L,
                                                const double* x, size_t n)
{
    size_t nblocks = n / OSTRELL_REDUCE_LANES;
    switch (isa) {
    case OSTRELL_ISA_AVX512: _ostrell_reduce_f64_avx512(L, x, nblocks); break;
    case OSTRELL_ISA_AVX2: _ostrell_reduce_f64_avx2(L, x, nblocks); break;
    default: _ostrell_reduce_f64_sse2(L, x, nblocks); break;
    }
    return nblocks * OSTRELL_REDUCE_LANES;
}

/* The same for rows; also the scalar tail, starting at a multiple of 16, so
 * that a caller may feed the rows in pieces of multiples of 16. */
static inline void _ostrell_reduce_rows_feed(ostrell_isa isa, _ostrell_reduce_lanes* L,
                                             const double* x, size_t n)
{
    size_t nblocks = n / OSTRELL_REDUCE_LANES, i;
    switch (isa) {
    case OSTRELL_ISA_AVX512: _ostrell_reduce_rows_avx512(L, x, nblocks); break;
    case OSTRELL_ISA_AVX2: _ostrell_reduce_rows_avx2(L, x, nblocks); break;
    default: _ostrell_reduce_rows_sse2(L, x, nblocks); break;
    }
    for (i = nblocks * OSTRELL_REDUCE_LANES; i < n; ++i)
        _ostrell_reduce_step(L, (int)(i % OSTRELL_REDUCE_LANES), x[2 * i], x[2 * i + 1]);
}

/* Plain binary64 lane sums of column col (0 = high, 1 = low) of n rows. */
static inline void _ostrell_reduce_plain_column(double* lane, const double* x, size_t n, int col)
{
    size_t i;
    for (i = 0; i < n; ++i)
        lane[i % OSTRELL_REDUCE_LANES] = lane[i % OSTRELL_REDUCE_LANES] + x[2 * i + col];
}

/* ---- public functions --------------------------------------------------- */

ostrell_t ostrell_sum_f64_isa(ostrell_isa isa, const double* x, size_t n)
{
    _ostrell_reduce_lanes L;
    double zeros[OSTRELL_REDUCE_LANES] = {0}, lane_hi[OSTRELL_REDUCE_LANES] = {0};
    size_t i;
    _ostrell_reduce_init(&L);
    for (i = _ostrell_reduce_f64_blocks(isa, &L, x, n); i < n; ++i)
        _ostrell_reduce_step1(&L, (int)(i % OSTRELL_REDUCE_LANES), x[i]);
    if (_ostrell_reduce_lanes_finite(&L))
        return _ostrell_reduce_combine(&L);
    for (i = 0; i < n; ++i)
        lane_hi[i % OSTRELL_REDUCE_LANES] = lane_hi[i % OSTRELL_REDUCE_LANES] + x[i];
    return _ostrell_reduce_plain(lane_hi, zeros);
}

ostrell_t ostrell_sum_rows_isa(ostrell_isa isa, const double* x, size_t n)
{
    _ostrell_reduce_lanes L;
    double lane_hi[OSTRELL_REDUCE_LANES] = {0}, lane_lo[OSTRELL_REDUCE_LANES] = {0};
    _ostrell_reduce_init(&L);
    _ostrell_reduce_rows_feed(isa, &L, x, n);
    if (_ostrell_reduce_lanes_finite(&L))
        return _ostrell_reduce_combine(&L);
    _ostrell_reduce_plain_column(lane_hi, x, n, 0);
    _ostrell_reduce_plain_column(lane_lo, x, n, 1);
    return _ostrell_reduce_plain(lane_hi, lane_lo);
}

/* Rows of products computed per piece of this many rows (a multiple of 16),
 * in a buffer that stays in the first-level cache. */
#define _OSTRELL_DOT_PIECE 256

ostrell_t ostrell_dot_rows_isa(ostrell_isa isa, const double* a, const double* b,
                                             size_t n)
{
    _ostrell_reduce_lanes L;
    double buf[2 * _OSTRELL_DOT_PIECE];
    double lane_hi[OSTRELL_REDUCE_LANES] = {0}, lane_lo[OSTRELL_REDUCE_LANES] = {0};
    size_t i;
    _ostrell_reduce_init(&L);
    for (i = 0; i < n; i += _OSTRELL_DOT_PIECE) {
        size_t m = n - i < _OSTRELL_DOT_PIECE ? n - i : _OSTRELL_DOT_PIECE;
        ostrell_batch_mul_isa(isa, a + 2 * i, b + 2 * i, buf, m);
        _ostrell_reduce_rows_feed(isa, &L, buf, m);
    }
    if (_ostrell_reduce_lanes_finite(&L))
        return _ostrell_reduce_combine(&L);
    for (i = 0; i < n; i += _OSTRELL_DOT_PIECE) {
        size_t m = n - i < _OSTRELL_DOT_PIECE ? n - i : _OSTRELL_DOT_PIECE;
        ostrell_batch_mul_isa(isa, a + 2 * i, b + 2 * i, buf, m);
        _ostrell_reduce_plain_column(lane_hi, buf, m, 0);
        _ostrell_reduce_plain_column(lane_lo, buf, m, 1);
    }
    return _ostrell_reduce_plain(lane_hi, lane_lo);
}

ostrell_t ostrell_sum_f64(const double* x, size_t n)
{
    return ostrell_sum_f64_isa(ostrell_isa_best(), x, n);
}

ostrell_t ostrell_sum_rows(const double* x, size_t n)
{
    return ostrell_sum_rows_isa(ostrell_isa_best(), x, n);
}

ostrell_t ostrell_dot_rows(const double* a, const double* b, size_t n)
{
    return ostrell_dot_rows_isa(ostrell_isa_best(), a, b, n);
}
