/* gemm.c: the double-double matrix product C = A B (or C + A B), vectorised
 * across the columns of C and blocked for the caches; the order of each
 * element's fold never changes (see ostrell_linalg.h). */
#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ostrell.h"
#include "ostrell_linalg.h"

#include "linalg/gemm.h"

#include "simd/avx2.h"
#include "simd/avx512.h"
#include "simd/sse2.h"

/* Steps of k per packed block of B and columns per block: a block of B is
 * KC x NC x 32 bytes (1 MiB), shared by every row tile.  The kernel does
 * ~26 operations per 32 bytes of B it reads, so it is compute bound even
 * from the L3 cache; the blocks bound the buffers' size. */
#define _OSTRELL_GEMM_KC 256
#define _OSTRELL_GEMM_NC 128
/* Below this many multiply-adds a second thread costs more than it saves. */
#define _OSTRELL_GEMM_THREAD_MIN ((size_t)1 << 21)

struct _ostrell_gemm_job {
    const double* a;
    const double* b;
    double* c;
    size_t lda, ldb, ldc, m, n, k;
    int accumulate;
    int neg_a; /* the product is (-A) B: each a_ik taken as ostrell_neg(a_ik) */
};

/* a_ik as the product takes it. */
static inline ostrell_t _ostrell_gemm_a(const struct _ostrell_gemm_job* g, size_t i, size_t k)
{
    ostrell_t x = _mm_loadu_pd(g->a + 2 * (i * g->lda + k));
    return g->neg_a ? ostrell_neg(x) : x;
}

/* The scalar fold of c_ij over steps [k0, k0 + kb) from acc. */
static ostrell_t _ostrell_gemm_fold(const struct _ostrell_gemm_job* g, size_t i, size_t j,
                                    size_t k0, size_t kb, ostrell_t acc)
{
    size_t k;
    for (k = k0; k < k0 + kb; ++k)
        acc = ostrell_add(acc, ostrell_mul(_ostrell_gemm_a(g, i, k),
                                           _mm_loadu_pd(g->b + 2 * (k * g->ldb + j))));
    return acc;
}

/* The elements of a tile that the vector kernel may have got wrong,
 * recomputed by the scalar fold from their values before the block: a row
 * of A or column of B with a factor above the product's pre-scaling bound,
 * or a result with an infinite or NaN part (which is where any overflow,
 * infinity or NaN met in the fold ends up: such values never turn finite
 * again in the kernel's steps).  Baseline and out of line (called from AVX
 * code after its vzeroupper). */
static _OSTRELL_OUTLINE void _ostrell_gemm_fix(const struct _ostrell_gemm_job* g, size_t i,
                                               size_t rows, size_t k0, size_t kb, size_t j,
                                               size_t cols, const double* start, size_t lds,
                                               unsigned abig, const unsigned char* bbig,
                                               double* c, size_t ldc)
{
    size_t r, w;
    for (r = 0; r < rows; ++r)
        for (w = 0; w < cols; ++w) {
            double* out = c + r * ldc + 2 * w;
            if (!((abig >> r) & 1u) && !bbig[w] && _ostrell_isfinite_pair(_mm_loadu_pd(out)))
                continue;
            _mm_storeu_pd(out, _ostrell_gemm_fold(g, i + r, j + w, k0, kb,
                                                  _mm_loadu_pd(start + r * lds + 2 * w)));
        }
}

/* Aligned whole-vector loads and stores of the packed operands, per set. */
static inline _OSTRELL_ALWAYS_INLINE __m128d _ostrell_sse2_vload(const double* p) { return _mm_load_pd(p); }
static inline _OSTRELL_ALWAYS_INLINE void _ostrell_sse2_vstore(double* p, __m128d x) { _mm_store_pd(p, x); }
static inline _OSTRELL_AVX2 _OSTRELL_ALWAYS_INLINE __m256d _ostrell_avx2_vload(const double* p) { return _mm256_load_pd(p); }
static inline _OSTRELL_AVX2 _OSTRELL_ALWAYS_INLINE void _ostrell_avx2_vstore(double* p, __m256d x) { _mm256_store_pd(p, x); }
static inline _OSTRELL_AVX512 _OSTRELL_ALWAYS_INLINE __m512d _ostrell_avx512_vload(const double* p) { return _mm512_load_pd(p); }
static inline _OSTRELL_AVX512 _OSTRELL_ALWAYS_INLINE void _ostrell_avx512_vstore(double* p, __m512d x) { _mm512_store_pd(p, x); }

/* The tile shapes: MR rows of C by NR vectors of columns, as many
 * independent folds as the registers hold (each is a ~27-cycle chain per
 * step).  AVX2 and AVX-512 have a second, narrow shape (one vector, four
 * rows) for products with few columns, such as most of those inside the LU
 * factorisation, where the wide tiles would compute mostly padding. */
#define _OSV(name) _ostrell_sse2_##name
#define _OSV_TARGET
#define _OSV_LANES 2
#include "simd/dd.h"
#define _OSG(name) _ostrell_sse2_##name
#define _OSV_MR 2
#define _OSV_NR 2
#include "linalg/gemm_body.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx2_##name
#define _OSV_TARGET _OSTRELL_AVX2
#define _OSV_LANES 4
#include "simd/dd.h"
#define _OSG(name) _ostrell_avx2_##name
#define _OSV_MR 2
#define _OSV_NR 2
#include "linalg/gemm_body.h"
#define _OSG(name) _ostrell_avx2_narrow_##name
#define _OSV_MR 4
#define _OSV_NR 1
#include "linalg/gemm_body.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

#define _OSV(name) _ostrell_avx512_##name
#define _OSV_TARGET _OSTRELL_AVX512
#define _OSV_LANES 8
#include "simd/dd.h"
#define _OSG(name) _ostrell_avx512_##name
#define _OSV_MR 2
#define _OSV_NR 3
#include "linalg/gemm_body.h"
#define _OSG(name) _ostrell_avx512_narrow_##name
#define _OSV_MR 4
#define _OSV_NR 1
#include "linalg/gemm_body.h"
#undef _OSV
#undef _OSV_TARGET
#undef _OSV_LANES

/* The kernels of a call: the wide tiles, or the narrow ones when rounding
 * n up to whole wide tiles would cost over 10% more columns than rounding
 * it up to narrow ones (the narrow tiles run a little slower per column). */
enum { _OSTRELL_GEMM_WIDE, _OSTRELL_GEMM_NARROW };

static size_t _ostrell_gemm_gw(ostrell_isa isa, int shape)
{
    if (isa == OSTRELL_ISA_AVX512) return shape == _OSTRELL_GEMM_NARROW ? 8 : 24;
    if (isa == OSTRELL_ISA_AVX2) return shape == _OSTRELL_GEMM_NARROW ? 4 : 8;
    return 4;
}

static int _ostrell_gemm_shape(ostrell_isa isa, size_t n)
{
    size_t w = _ostrell_gemm_gw(isa, _OSTRELL_GEMM_WIDE), v = _ostrell_gemm_gw(isa, _OSTRELL_GEMM_NARROW);
    size_t wide = (n + w - 1) / w * w, narrow = (n + v - 1) / v * v;
    return 10 * narrow + narrow < 10 * wide ? _OSTRELL_GEMM_NARROW : _OSTRELL_GEMM_WIDE;
}
/* The largest MR of all shapes: the size of the packed A panel. */
#define _OSTRELL_GEMM_MR 4

struct _ostrell_gemm_part {
    const struct _ostrell_gemm_job* job;
    ostrell_isa isa;
    size_t i0, i1;
    int status;
};

/* Rows [i0, i1) of C on one path with its own packing buffers; falls back to
 * the scalar fold when they cannot be allocated. */
static void _ostrell_gemm_part_run(struct _ostrell_gemm_part* p)
{
    const struct _ostrell_gemm_job* g = p->job;
    int shape = _ostrell_gemm_shape(p->isa, g->n);
    size_t gw = _ostrell_gemm_gw(p->isa, shape);
    size_t kc = g->k < _OSTRELL_GEMM_KC ? g->k : _OSTRELL_GEMM_KC;
    size_t nc = g->n < _OSTRELL_GEMM_NC ? g->n : _OSTRELL_GEMM_NC;
    size_t ncp = (nc + gw - 1) / gw * gw;
    size_t bytes_b = kc * ncp * 4 * sizeof(double), bytes_a = kc * _OSTRELL_GEMM_MR * 4 * sizeof(double);
    double *bp = NULL, *ap = NULL;
    unsigned char* big = NULL;
    if (posix_memalign((void**)&bp, 64, bytes_b) != 0)
        bp = NULL;
    if (posix_memalign((void**)&ap, 64, bytes_a) != 0)
        ap = NULL;
    big = (unsigned char*)malloc(nc);
    if (bp && ap && big) {
        int narrow = shape == _OSTRELL_GEMM_NARROW;
        switch (p->isa) {
        case OSTRELL_ISA_AVX512:
            if (narrow)
                _ostrell_avx512_narrow_gemm_rows(g, p->i0, p->i1, bp, big, ap);
            else
                _ostrell_avx512_gemm_rows(g, p->i0, p->i1, bp, big, ap);
            break;
        case OSTRELL_ISA_AVX2:
            if (narrow)
                _ostrell_avx2_narrow_gemm_rows(g, p->i0, p->i1, bp, big, ap);
            else
                _ostrell_avx2_gemm_rows(g, p->i0, p->i1, bp, big, ap);
            break;
        default: _ostrell_sse2_gemm_rows(g, p->i0, p->i1, bp, big, ap); break;
        }
    } else {
        size_t i, j;
        for (i = p->i0; i < p->i1; ++i)
            for (j = 0; j < g->n; ++j) {
                double* out = g->c + 2 * (i * g->ldc + j);
                ostrell_t acc = g->accumulate ? _mm_loadu_pd(out) : _mm_setzero_pd();
                _mm_storeu_pd(out, _ostrell_gemm_fold(g, i, j, 0, g->k, acc));
            }
    }
    free(bp);
    free(ap);
    free(big);
    p->status = 0;
}

static void* _ostrell_gemm_thread(void* arg)
{
    _ostrell_gemm_part_run((struct _ostrell_gemm_part*)arg);
    return NULL;
}

static int _ostrell_gemm_run(ostrell_isa isa, unsigned threads, int accumulate, int neg_a,
                             size_t m, size_t n, size_t k, const double* a, size_t lda,
                             const double* b, size_t ldb, double* c, size_t ldc)
{
    struct _ostrell_gemm_job g;
    struct _ostrell_gemm_part parts[2];
    if (lda < k || ldb < n || ldc < n)
        return OSTRELL_LINALG_EINVAL;
    if (m == 0 || n == 0)
        return OSTRELL_LINALG_OK;
    if (k == 0) {
        size_t i;
        if (!accumulate)
            for (i = 0; i < m; ++i)
                memset(c + 2 * i * ldc, 0, 2 * n * sizeof(double));
        return OSTRELL_LINALG_OK;
    }
    if (isa != OSTRELL_ISA_AVX512 && isa != OSTRELL_ISA_AVX2)
        isa = OSTRELL_ISA_SSE2;
    g.a = a;
    g.b = b;
    g.c = c;
    g.lda = lda;
    g.ldb = ldb;
    g.ldc = ldc;
    g.m = m;
    g.n = n;
    g.k = k;
    g.accumulate = accumulate != 0;
    g.neg_a = neg_a;
    parts[0].job = parts[1].job = &g;
    parts[0].isa = parts[1].isa = isa;
    parts[0].i0 = 0;
    parts[0].i1 = m;
    if (threads >= 2 && m >= 2 * _OSTRELL_GEMM_MR && (double)m * (double)n * (double)k >= (double)_OSTRELL_GEMM_THREAD_MIN) {
        pthread_t t;
        size_t half = (m / 2 + _OSTRELL_GEMM_MR - 1) / _OSTRELL_GEMM_MR * _OSTRELL_GEMM_MR;
        parts[0].i1 = half;
        parts[1].i0 = half;
        parts[1].i1 = m;
        if (pthread_create(&t, NULL, _ostrell_gemm_thread, &parts[1]) == 0) {
            _ostrell_gemm_part_run(&parts[0]);
            pthread_join(t, NULL);
            return OSTRELL_LINALG_OK;
        }
        parts[0].i1 = m; /* no thread: all rows here */
    }
    _ostrell_gemm_part_run(&parts[0]);
    return OSTRELL_LINALG_OK;
}

int ostrell_gemm_isa(ostrell_isa isa, unsigned threads, int accumulate, size_t m, size_t n,
                     size_t k, const double* a, size_t lda, const double* b, size_t ldb,
                     double* c, size_t ldc)
{
    return _ostrell_gemm_run(isa, threads, accumulate, 0, m, n, k, a, lda, b, ldb, c, ldc);
}

int ostrell_gemm(int accumulate, size_t m, size_t n, size_t k, const double* a, size_t lda,
                 const double* b, size_t ldb, double* c, size_t ldc)
{
    return ostrell_gemm_isa(ostrell_isa_best(), 1, accumulate, m, n, k, a, lda, b, ldb, c, ldc);
}

int _ostrell_gemm_sub(size_t m, size_t n, size_t k, const double* a, size_t lda, const double* b,
                      size_t ldb, double* c, size_t ldc)
{
    return _ostrell_gemm_run(ostrell_isa_best(), 1, 1, 1, m, n, k, a, lda, b, ldb, c, ldc);
}
