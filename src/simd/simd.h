/* simd/simd.h: the thin vector abstraction the batch kernels are written
 * against, and the rules every vector kernel follows.
 *
 * One vector holds one part (hi or lo) of LANES rows: 2 for SSE2, 4 for AVX2,
 * 8 for AVX-512F.  Each instruction set has its own small header
 * (simd/sse2.h, _avx2.h, _avx512.h) defining the same primitives
 * under its own prefix, _ostrell_<isa>_<name>.  A generic body (simd/dd.h,
 * batch/arith.h) is written once with the short names below and is
 * included once per instruction set with these macros defined:
 *
 *   _OSV(name)    the prefixed name: _ostrell_avx512_##name, ...
 *   _OSV_TARGET   the function attribute enabling the instruction set
 *                 (empty for SSE2); every function of the body carries it
 *   _OSV_LANES    rows per vector
 *
 * Rules for vector kernels (the batch add/sub/mul/div follow them; so must
 * the vector elementary functions built on this layer):
 *
 * 1. Lane by lane, the exact binary64 operation sequence of the scalar kernel
 *    in ostrell.h, in the same order with the same operands.  The result is
 *    defined as the scalar kernel's bits; the vector code is only faster.
 * 2. No fused multiply-add, whatever the build's flags: target("avx512f")
 *    makes FMA available and a build may pass -ffp-contract=fast.
 *    Every product that feeds an addition or subtraction goes through
 *    _osv_opaque (an empty asm the compiler cannot see through), so no
 *    contraction is possible.  CI greps the object code for vfmadd/vfmsub/
 *    vfnmadd.
 * 3. Branches of the scalar kernel that the vector code does not follow are
 *    not vectorised: each vector double-double primitive ORs into a mask
 *    (_osv_m) every lane where the scalar code could take such a branch (a
 *    superset is fine: it costs speed only).  A block whose mask is non-zero
 *    is recomputed row by row by the scalar kernel.  Where following the
 *    branch is one blend (the overflow of s in add/sub), the primitive blends
 *    instead.
 * 4. The scalar recomputation is an out-of-line baseline function
 *    (_OSTRELL_OUTLINE), never inlined into AVX code: the compiler then emits
 *    vzeroupper before the call (and before returning from every AVX
 *    function), so no SSE code ever runs with a dirty upper state, which
 *    would make every later SSE instruction of the process several times
 *    slower.
 * 5. Rows are loaded LANES at a time and deinterleaved with in-lane unpacks
 *    (no cross-lane permute): the lane order is then a permutation of the
 *    rows (0,4,1,5,2,6,3,7 for AVX-512), which the same unpacks undo on store.
 *    Kernels are lane-wise, so the order never matters; a kernel that needs
 *    row positions must not rely on it.
 *
 * Adding a vector function: a generic body header (like batch/arith.h)
 * composing the primitives below and those of simd/dd.h, listed in
 * batch/bodies.h; an out-of-line scalar row loop for its flagged blocks,
 * head and tail (batch/rows.c, like _ostrell_batch_rows_arith); an entry in
 * the kernel table (batch/kernels.h) filled in by each instruction set's
 * source (batch/sse2.c, avx2.c, avx512.c); the public pair declared in
 * ostrell_batch.h and defined in batch/dispatch.c; a bit-for-bit test on
 * every path.
 *
 * Primitives every instruction set defines (d: vector of doubles, m: lane mask,
 * dd: struct { d hi, lo; }):
 *   load_rows(p)             LANES rows from p (any alignment of double) -> dd
 *   store_rows(p, x)         LANES rows to p, any alignment of double
 *   store_rows_aligned(p, x) p aligned to 16 * LANES bytes
 *   stream_rows(p, x)        non-temporal store, aligned as above (sfence after)
 *   set1(v), zero()
 *   add sub mul div sqrt     one binary64 operation per lane, round to nearest
 *   abs neg                  sign bit cleared / flipped
 *   min max                  as the instructions: the second operand when either is NaN
 *   opaque(x)                x, hidden from the optimiser (the product barrier)
 *   lt le gt ge eq           ordered compares (false on NaN) -> m
 *   nle ne                   not (a <= b), a != b: true on NaN -> m
 *   ord                      neither a nor b is NaN -> m
 *   mzero mor mand many      empty mask, or, and, "any lane set"
 *   blend(m, a, b)           b in the lanes of m, a elsewhere
 */
#ifndef OSTRELL_SIMD_H
#define OSTRELL_SIMD_H

#include <stddef.h>
#include <stdint.h>

#include <immintrin.h>

/* The short names the generic bodies use; _OSV is defined per instruction set
 * around each inclusion of a body. */
#define _osv_d _OSV(d)
#define _osv_m _OSV(m)
#define _osv_dd _OSV(dd)
#define _osv_load_rows _OSV(load_rows)
#define _osv_store_rows _OSV(store_rows)
#define _osv_store_rows_aligned _OSV(store_rows_aligned)
#define _osv_stream_rows _OSV(stream_rows)
#define _osv_set1 _OSV(set1)
#define _osv_zero _OSV(zero)
#define _osv_add _OSV(add)
#define _osv_sub _OSV(sub)
#define _osv_mul _OSV(mul)
#define _osv_div _OSV(div)
#define _osv_sqrt _OSV(sqrt)
#define _osv_abs _OSV(abs)
#define _osv_neg _OSV(neg)
#define _osv_min _OSV(min)
#define _osv_max _OSV(max)
#define _osv_opaque _OSV(opaque)
#define _osv_lt _OSV(lt)
#define _osv_le _OSV(le)
#define _osv_gt _OSV(gt)
#define _osv_ge _OSV(ge)
#define _osv_eq _OSV(eq)
#define _osv_nle _OSV(nle)
#define _osv_ne _OSV(ne)
#define _osv_ord _OSV(ord)
#define _osv_mzero _OSV(mzero)
#define _osv_mor _OSV(mor)
#define _osv_mand _OSV(mand)
#define _osv_many _OSV(many)
#define _osv_blend _OSV(blend)

/* A product hidden from the optimiser is never contracted into a fused
 * multiply-add with the addition it feeds.  "v" is any vector register the
 * enabled instruction set has (xmm/ymm/zmm). */
#define _OSTRELL_SIMD_OPAQUE(x) __asm__("" : "+v"(x))

/* Out of line and opaque to interprocedural analysis: the scalar fallbacks
 * called from AVX code and the per-path entry points (see rule 4).  For
 * static functions, not inline ones; unused keeps them silent in a
 * translation unit that does not call them. */
#if defined(__clang__)
#define _OSTRELL_OUTLINE __attribute__((noinline, unused))
#else
#define _OSTRELL_OUTLINE __attribute__((noinline, noipa, unused))
#endif

#define _OSTRELL_ALWAYS_INLINE __attribute__((always_inline))

#endif /* OSTRELL_SIMD_H */
