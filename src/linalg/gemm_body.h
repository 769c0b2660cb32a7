/* gemm_body.h: the matrix product's packing and micro-kernel, one generic
 * body on the vector layer of ostrell_simd.h.
 *
 * No include guard: included by gemm.c once per instruction set and tile
 * shape with _OSV, _OSV_TARGET, _OSV_LANES (the set, see simd/simd.h), _OSG
 * (the names of this instantiation's functions) and the tile shape _OSV_MR
 * (rows of C) x _OSV_NR (vectors of columns of C) defined, after simd/dd.h
 * and the per-set helpers _OSV(vload) and _OSV(vstore) (aligned loads and
 * stores of one vector).  _OSG, _OSV_MR and _OSV_NR are undefined at the
 * end, ready for the next shape.
 *
 * Each lane is one element c_ij and runs the exact operation sequence of
 * ostrell_add(acc, ostrell_mul(a_ik, b_kj)) for k in increasing order.  The
 * Veltkamp splits of a_ik and b_kj, which the scalar product recomputes each
 * time, are computed once when the operands are packed: the same operations
 * on the same values, so the same bits.  The kernel follows none of the
 * scalar kernels' special branches; where one of them may be taken the
 * element is recomputed afterwards by the scalar fold (gemm_fix).
 */

#define _OSV_INLINE static inline _OSV_TARGET _OSTRELL_ALWAYS_INLINE
#define _OSV_GW (_OSV_NR * _OSV_LANES) /* columns of one tile */

/* The split of `lanes` consecutive values of row k of B, in the lane order of
 * load_rows (the order in which C's rows are loaded too): hi, lo, hi's high
 * half, hi's low half, one vector each. */
_OSV_INLINE void _OSG(gemm_pack_vec)(const double* src, double* dst)
{
    _osv_dd x = _osv_load_rows(src);
    _osv_d h = _OSV(split_hi)(x.hi);
    _OSV(vstore)(dst, x.hi);
    _OSV(vstore)(dst + _OSV_LANES, x.lo);
    _OSV(vstore)(dst + 2 * _OSV_LANES, h);
    _OSV(vstore)(dst + 3 * _OSV_LANES, _osv_sub(x.hi, h));
}

/* Packs rows [k0, k0 + kb) and columns [j0, j0 + nb) of B: per group of GW
 * columns, per k, NR vectors of 4 parts (columns past nb are zero).  big[j]
 * is set when a column's high part exceeds the product's pre-scaling bound
 * (its elements take the scalar path). */
static _OSV_TARGET _OSTRELL_OUTLINE void _OSG(gemm_pack_b)(const double* b, size_t ldb, size_t k0,
                                                            size_t kb, size_t j0, size_t nb,
                                                            double* bp, unsigned char* big)
{
    size_t g, k, v, j;
    double tmp[2 * _OSV_LANES];
    for (j = 0; j < nb; ++j)
        big[j] = 0;
    for (g = 0; g < nb; g += _OSV_GW) {
        for (k = 0; k < kb; ++k) {
            const double* row = b + 2 * ((k0 + k) * ldb + j0);
            for (v = 0; v < _OSV_NR; ++v) {
                size_t c0 = g + v * _OSV_LANES, w;
                for (j = c0; j < c0 + _OSV_LANES && j < nb; ++j)
                    if (fabs(row[2 * j]) > _OSTRELL_SIMD_MUL_ERR_BIG)
                        big[j] = 1;
                if (c0 + _OSV_LANES <= nb) {
                    _OSG(gemm_pack_vec)(row + 2 * c0, bp);
                } else {
                    for (w = 0; w < 2 * _OSV_LANES; ++w)
                        tmp[w] = c0 + w / 2 < nb ? row[2 * c0 + w] : 0.0;
                    _OSG(gemm_pack_vec)(tmp, bp);
                }
                bp += 4 * _OSV_LANES;
            }
        }
    }
}

/* Packs rows [i0, i0 + mb) (mb <= MR) and columns [k0, k0 + kb) of A, each
 * value negated by ostrell_neg when neg is set: per k, MR rows of (hi, lo,
 * hi's high half, hi's low half); rows past mb are zero.  Returns a bit per
 * row whose high parts exceed the pre-scaling bound. */
static _OSV_TARGET _OSTRELL_OUTLINE unsigned _OSG(gemm_pack_a)(const double* a, size_t lda,
                                                                size_t i0, size_t mb, size_t k0,
                                                                size_t kb, int neg, double* ap)
{
    size_t k, r;
    unsigned big = 0;
    for (k = 0; k < kb; ++k) {
        for (r = 0; r < _OSV_MR; ++r) {
            double hi = 0.0, lo = 0.0, t, h;
            if (r < mb) {
                ostrell_t x = _mm_loadu_pd(a + 2 * ((i0 + r) * lda + k0 + k));
                ostrell_extract(neg ? ostrell_neg(x) : x, &hi, &lo);
                if (fabs(hi) > _OSTRELL_SIMD_MUL_ERR_BIG)
                    big |= 1u << r;
            }
            t = _ostrell_mul_rounded(hi, 134217729.0);
            h = t - (t - hi);
            ap[0] = hi;
            ap[1] = lo;
            ap[2] = h;
            ap[3] = hi - h;
            ap += 4;
        }
    }
    return big;
}

/* acc = ostrell_add(acc, ostrell_mul(a, b)) lane by lane, a and b given with
 * their splits; valid while no scalar branch is taken (see gemm_fix). */
_OSV_INLINE void _OSG(gemm_step)(_osv_d* acc_hi, _osv_d* acc_lo, _osv_d ahi, _osv_d alo,
                                 _osv_d ah, _osv_d al, const double* b)
{
    _osv_d bhi = _OSV(vload)(b), blo = _OSV(vload)(b + _OSV_LANES);
    _osv_d bh = _OSV(vload)(b + 2 * _OSV_LANES), bl = _OSV(vload)(b + 3 * _OSV_LANES);
    _osv_d p = _osv_opaque(_osv_mul(ahi, bhi));
    _osv_d e = _osv_sub(_osv_opaque(_osv_mul(ah, bh)), p);
    _osv_d ph, pl, s, err;
    e = _osv_add(e, _osv_opaque(_osv_mul(ah, bl)));
    e = _osv_add(e, _osv_opaque(_osv_mul(al, bh)));
    e = _osv_add(e, _osv_opaque(_osv_mul(al, bl)));
    e = _osv_add(e, _osv_add(_osv_opaque(_osv_mul(ahi, blo)), _osv_opaque(_osv_mul(alo, bhi))));
    ph = _osv_add(p, e);
    pl = _osv_sub(e, _osv_sub(ph, p));
    s = _osv_add(*acc_hi, ph);
    err = _OSV(two_sum_err)(*acc_hi, ph, s);
    err = _osv_add(err, _osv_add(*acc_lo, pl));
    *acc_hi = _osv_add(s, err);
    *acc_lo = _osv_sub(err, _osv_sub(*acc_hi, s));
}

/* One MR x GW tile of C (rows ldc doubles apart) through kb steps; returns
 * non-zero when a lane ended with a non-finite part. */
static _OSV_TARGET _OSTRELL_OUTLINE int _OSG(gemm_kernel)(size_t kb, const double* ap,
                                                          const double* bp, double* c, size_t ldc,
                                                          int zero_start)
{
    _osv_d hi[_OSV_MR][_OSV_NR], lo[_OSV_MR][_OSV_NR];
    _osv_m bad = _osv_mzero();
    size_t k;
    int r, v;
    for (r = 0; r < _OSV_MR; ++r)
        for (v = 0; v < _OSV_NR; ++v) {
            if (zero_start) {
                hi[r][v] = _osv_zero();
                lo[r][v] = _osv_zero();
            } else {
                _osv_dd x = _osv_load_rows(c + r * ldc + 2 * v * _OSV_LANES);
                hi[r][v] = x.hi;
                lo[r][v] = x.lo;
            }
        }
    for (k = 0; k < kb; ++k) {
        for (r = 0; r < _OSV_MR; ++r) {
            _osv_d ahi = _osv_set1(ap[4 * r]), alo = _osv_set1(ap[4 * r + 1]);
            _osv_d ah = _osv_set1(ap[4 * r + 2]), al = _osv_set1(ap[4 * r + 3]);
            for (v = 0; v < _OSV_NR; ++v)
                _OSG(gemm_step)(&hi[r][v], &lo[r][v], ahi, alo, ah, al, bp + 4 * v * _OSV_LANES);
        }
        ap += 4 * _OSV_MR;
        bp += 4 * _OSV_GW;
    }
    for (r = 0; r < _OSV_MR; ++r)
        for (v = 0; v < _OSV_NR; ++v) {
            _osv_dd x;
            x.hi = hi[r][v];
            x.lo = lo[r][v];
            /* x - x is NaN exactly in the lanes with an infinite or NaN part */
            bad = _osv_mor(bad, _osv_ne(_osv_add(_osv_sub(x.hi, x.hi), _osv_sub(x.lo, x.lo)),
                                        _osv_zero()));
            _osv_store_rows(c + r * ldc + 2 * v * _OSV_LANES, x);
        }
    return _osv_many(bad);
}

/* C[i0 .. i0 + mb) x [j0 .. j0 + nb) updated by rows [k0, k0 + kb) of B
 * (packed in bp, with big flags) and the same columns of A. */
static _OSV_TARGET _OSTRELL_OUTLINE void _OSG(gemm_panel)(const struct _ostrell_gemm_job* g,
                                                           size_t i0, size_t mb, size_t k0,
                                                           size_t kb, size_t j0, size_t nb,
                                                           const double* bp,
                                                           const unsigned char* bbig, double* ap)
{
    double tile[_OSV_MR * 2 * _OSV_GW], start[_OSV_MR * 2 * _OSV_GW];
    int zero_start = k0 == 0 && !g->accumulate;
    size_t i, jg, r, w;
    for (i = i0; i < i0 + mb; i += _OSV_MR) {
        size_t rows = i0 + mb - i < _OSV_MR ? i0 + mb - i : _OSV_MR;
        unsigned abig = _OSG(gemm_pack_a)(g->a, g->lda, i, rows, k0, kb, g->neg_a, ap);
        for (jg = 0; jg < nb; jg += _OSV_GW) {
            size_t cols = nb - jg < _OSV_GW ? nb - jg : _OSV_GW, bigcol = 0;
            double* c = g->c + 2 * (i * g->ldc + j0 + jg);
            /* The tile's starting values (for recomputed elements), also its
             * working copy when it is a partial tile. */
            for (r = 0; r < _OSV_MR; ++r)
                for (w = 0; w < 2 * _OSV_GW; ++w)
                    start[r * 2 * _OSV_GW + w] =
                        zero_start || r >= rows || w >= 2 * cols ? 0.0 : c[r * 2 * g->ldc + w];
            for (w = 0; w < cols; ++w)
                bigcol |= bbig[jg + w];
            if (rows == _OSV_MR && cols == _OSV_GW) {
                int bad = _OSG(gemm_kernel)(kb, ap, bp + 4 * kb * jg, c, 2 * g->ldc, zero_start);
                if (bad || abig || bigcol)
                    _ostrell_gemm_fix(g, i, rows, k0, kb, j0 + jg, cols, start, 2 * _OSV_GW,
                                      abig, bbig + jg, c, 2 * g->ldc);
            } else {
                int bad;
                for (w = 0; w < _OSV_MR * 2 * _OSV_GW; ++w)
                    tile[w] = start[w];
                bad = _OSG(gemm_kernel)(kb, ap, bp + 4 * kb * jg, tile, 2 * _OSV_GW, 0);
                if (bad || abig || bigcol)
                    _ostrell_gemm_fix(g, i, rows, k0, kb, j0 + jg, cols, start, 2 * _OSV_GW,
                                      abig, bbig + jg, tile, 2 * _OSV_GW);
                for (r = 0; r < rows; ++r)
                    for (w = 0; w < 2 * cols; ++w)
                        c[r * 2 * g->ldc + w] = tile[r * 2 * _OSV_GW + w];
            }
        }
    }
}

/* Rows [i0, i1) of the job: blocks of NC columns and KC steps; the B block
 * is packed once per block and shared by all row tiles. */
static _OSV_TARGET _OSTRELL_OUTLINE void _OSG(gemm_rows)(const struct _ostrell_gemm_job* g,
                                                          size_t i0, size_t i1,
                                                          double* bp, unsigned char* bbig,
                                                          double* ap)
{
    size_t j0, k0;
    for (j0 = 0; j0 < g->n; j0 += _OSTRELL_GEMM_NC) {
        size_t nb = g->n - j0 < _OSTRELL_GEMM_NC ? g->n - j0 : _OSTRELL_GEMM_NC;
        for (k0 = 0; k0 < g->k; k0 += _OSTRELL_GEMM_KC) {
            size_t kb = g->k - k0 < _OSTRELL_GEMM_KC ? g->k - k0 : _OSTRELL_GEMM_KC;
            _OSG(gemm_pack_b)(g->b, g->ldb, k0, kb, j0, nb, bp, bbig);
            _OSG(gemm_panel)(g, i0, i1 - i0, k0, kb, j0, nb, bp, bbig, ap);
        }
    }
}

#undef _OSV_GW
#undef _OSV_INLINE
#undef _OSG
#undef _OSV_MR
#undef _OSV_NR
