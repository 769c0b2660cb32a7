/* batch/arith.h: batch add, sub, mul and div over n interleaved rows,
 * one generic loop for the four operations.
 *
 * A generic body: no include guard; included once per instruction set with
 * _OSV, _OSV_TARGET and _OSV_LANES defined (see simd/simd.h), after
 * simd/dd.h.  Defines _OSV(batch_add) ... _OSV(batch_div).
 */

#define _OSV_INLINE static inline _OSV_TARGET _OSTRELL_ALWAYS_INLINE

/* One block of rows: out = op(a, b), flagged lanes in *m. */
_OSV_INLINE _osv_dd _OSV(arith_block)(int op, _osv_dd x, _osv_dd y, _osv_m* m)
{
    if (op == _OSTRELL_OP_ADD)
        return _OSV(dd_add)(x, y);
    if (op == _OSTRELL_OP_SUB)
        return _OSV(dd_sub)(x, y);
    if (op == _OSTRELL_OP_MUL)
        return _OSV(dd_mul)(x, y, m);
    return _OSV(dd_div)(x, y, m);
}

/* Asks for the 64-byte lines of a and b that the block _OSTRELL_BATCH_PREFETCH_ROWS
 * rows ahead of row i reads: a block covers 16 * LANES bytes of each operand,
 * so two lines for AVX-512, one for AVX2 (SSE2 asks for each line twice).  A
 * hint: it never faults, so addresses past the end are fine; computed as
 * integers, as such pointers may not be formed. */
_OSV_INLINE void _OSV(prefetch_rows)(const double* a, const double* b, size_t i)
{
    uintptr_t ahead = (uintptr_t)(2 * (i + _OSTRELL_BATCH_PREFETCH_ROWS)) * sizeof(double);
    _mm_prefetch((const char*)((uintptr_t)a + ahead), _MM_HINT_T0);
    _mm_prefetch((const char*)((uintptr_t)b + ahead), _MM_HINT_T0);
#if _OSV_LANES == 8
    _mm_prefetch((const char*)((uintptr_t)a + ahead + 64), _MM_HINT_T0);
    _mm_prefetch((const char*)((uintptr_t)b + ahead + 64), _MM_HINT_T0);
#endif
}

/* Block r of rows [i, i + LANES) to out, or those rows recomputed by the
 * scalar kernel when a lane is flagged in m. */
_OSV_INLINE void _OSV(arith_put)(int op, int store, const double* a, const double* b, double* out,
                                 size_t i, _osv_dd r, _osv_m m)
{
    if (_osv_many(m))
        _ostrell_batch_rows_arith(op, a + 2 * i, b + 2 * i, out + 2 * i, _OSV_LANES);
    else if (store == _OSTRELL_STORE_STREAM)
        _osv_stream_rows(out + 2 * i, r);
    else if (store == _OSTRELL_STORE_ALIGNED)
        _osv_store_rows_aligned(out + 2 * i, r);
    else
        _osv_store_rows(out + 2 * i, r);
}

/* Rows i, i + LANES, ... while a whole block fits; returns the first row left.
 * A block with a flagged lane is recomputed by the scalar kernel.  Blocks
 * are loaded before anything of theirs is stored, so out == a (or b) is fine.
 * add, sub and mul take two blocks per step, which gives the scheduler two
 * independent chains (measured in cache: AVX2 mul 1.23 -> 1.08 ns per row,
 * AVX-512 add 0.62 -> 0.50).  div is not latency-bound: on AVX2, 2 to 6
 * blocks per step (which spill some of the 16 registers) and a split of each
 * block into a head overlapping the tail of the block before measured no
 * faster; its time is about that of mul plus that of its 3 divisions, and
 * its longer body is slower unrolled on AVX-512.  Large (streamed) runs
 * prefetch their operands: the hardware prefetchers alone leave too few
 * lines in flight for these loop bodies. */
_OSV_INLINE size_t _OSV(arith_blocks)(int op, int store, const double* a, const double* b,
                                      double* out, size_t i, size_t n)
{
    if (op != _OSTRELL_OP_DIV) {
        for (; n - i >= 2 * _OSV_LANES; i += 2 * _OSV_LANES) {
            size_t j = i + _OSV_LANES;
            _osv_m m0 = _osv_mzero(), m1 = _osv_mzero();
            _osv_dd r0, r1;
            if (store == _OSTRELL_STORE_STREAM) {
                _OSV(prefetch_rows)(a, b, i);
                _OSV(prefetch_rows)(a, b, j);
            }
            r0 = _OSV(arith_block)(op, _osv_load_rows(a + 2 * i), _osv_load_rows(b + 2 * i), &m0);
            r1 = _OSV(arith_block)(op, _osv_load_rows(a + 2 * j), _osv_load_rows(b + 2 * j), &m1);
            _OSV(arith_put)(op, store, a, b, out, i, r0, m0);
            _OSV(arith_put)(op, store, a, b, out, j, r1, m1);
        }
    }
    for (; n - i >= _OSV_LANES; i += _OSV_LANES) {
        _osv_m m = _osv_mzero();
        _osv_dd r;
        if (store == _OSTRELL_STORE_STREAM)
            _OSV(prefetch_rows)(a, b, i);
        r = _OSV(arith_block)(op, _osv_load_rows(a + 2 * i), _osv_load_rows(b + 2 * i), &m);
        _OSV(arith_put)(op, store, a, b, out, i, r, m);
    }
    return i;
}

/* When out is 16-byte aligned, the first rows (at most 3) go through the
 * scalar kernel so that every block store is 64-byte aligned, and large
 * outputs are written with non-temporal stores; the last rows (fewer than a
 * block) go through the scalar kernel. */
_OSV_INLINE void _OSV(arith_run)(int op, const double* a, const double* b, double* out, size_t n)
{
    size_t i = 0;
    uintptr_t addr = (uintptr_t)out;
    if (addr % 16 == 0 && n >= _OSTRELL_BATCH_PEEL_ROWS) {
        i = (64 - addr % 64) % 64 / 16;
        if (i != 0)
            _ostrell_batch_rows_arith(op, a, b, out, i);
        if (n >= _OSTRELL_BATCH_STREAM_ROWS) {
            i = _OSV(arith_blocks)(op, _OSTRELL_STORE_STREAM, a, b, out, i, n);
            _mm_sfence();
        } else {
            i = _OSV(arith_blocks)(op, _OSTRELL_STORE_ALIGNED, a, b, out, i, n);
        }
    } else {
        i = _OSV(arith_blocks)(op, _OSTRELL_STORE_UNALIGNED, a, b, out, i, n);
    }
    if (i < n)
        _ostrell_batch_rows_arith(op, a + 2 * i, b + 2 * i, out + 2 * i, n - i);
}

/* The per-operation entry points: out of line, so an AVX body is always left
 * through its own return (and its vzeroupper). */
#define _OSTRELL_BATCH_ARITH_ENTRY(name, op)                                   \
    static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_##name)(               \
        const double* a, const double* b, double* out, size_t n)               \
    {                                                                          \
        _OSV(arith_run)(op, a, b, out, n);                                     \
    }
_OSTRELL_BATCH_ARITH_ENTRY(add, _OSTRELL_OP_ADD)
_OSTRELL_BATCH_ARITH_ENTRY(sub, _OSTRELL_OP_SUB)
_OSTRELL_BATCH_ARITH_ENTRY(mul, _OSTRELL_OP_MUL)
_OSTRELL_BATCH_ARITH_ENTRY(div, _OSTRELL_OP_DIV)
#undef _OSTRELL_BATCH_ARITH_ENTRY

#undef _OSV_INLINE
