/* ostrell_reduce.h: sums and dot products accumulated in double-double.
 *
 *   ostrell_sum_f64(x, n)       the sum of n binary64 values
 *   ostrell_sum_rows(x, n)      the sum of n rows (hi, lo), laid out as in
 *                               ostrell_batch.h
 *   ostrell_dot_rows(a, b, n)   the sum of the n row products
 *                               ostrell_mul(a[i], b[i])
 *
 * Order of operations (the same on every path and in every build, so the
 * result has the same bits everywhere; a NaN result is NaN everywhere, its
 * sign and payload may vary with the path, as for the batch functions):
 *   - Element i (a value, a row, or a row product) goes to lane i mod 16.
 *     Each lane holds a double-double sum (hi, lo) starting at (+0, +0) and
 *     adds its elements in index order by the steps of ostrell_add without
 *     its overflow branches:
 *         s = hi + h;  bb = s - hi;  e = (hi - (s - bb)) + (h - bb);
 *         e = e + (lo + l);  hi' = s + e;  lo' = e - (hi' - s)
 *     where h is the value (or the row's high part) and l the row's low
 *     part (for binary64 values e = e + lo).
 *   - Lanes are then combined in order:
 *         ostrell_add(...ostrell_add(ostrell_add(lane 0, lane 1), lane 2)..., lane 15).
 *   - If any lane's hi or lo ends infinite or NaN (an infinite or NaN input
 *     part, or an overflow), the result is (t, +0) with t the binary64 sum
 *     S_hi + S_lo, where S_hi (S_lo) adds, lane by lane in order 0..15,
 *     each lane's plain binary64 sum from +0 of its high (low) parts: NaN if
 *     a NaN or both infinities occur, otherwise the infinity.
 *   - A zero result is +0 (the lanes start at +0); the sum of no elements
 *     is (+0, +0).
 * The vector paths run the lane steps on 2, 4 or 8 lanes per instruction;
 * the last n mod 16 elements go through the same steps in scalar code, so
 * every path gives the bits of the baseline path.  (Until this version a
 * lane kept a binary64 sum and one binary64 error term, with the bound
 * (2 m^2 + 64) u^2 sum |element|; the results' bits differ from it.)
 *
 * Error (binary64 values or normalised rows, none infinite or NaN, no
 * overflow): with m = ceil(n / 16) elements per lane and u = 2^-53, each
 * step of a lane or of the combination errs by at most 3 u^2 times the sum
 * of its operands' magnitudes, so
 *     |result - exact sum| <= (3 m + 48) u^2 * sum |element|,
 * products included for the dot (ostrell_mul's own error comes on top,
 * relative to each product).  A plain loop s = ostrell_add(s, x[i]) has the
 * bound 3 n u^2 sum |element|.  The result is exact when no step rounds, e.g.
 * for integers whose partial sums stay below 2^53.
 *
 * Declarations only, compiled into the library ostrell::batch with
 * ostrell_batch.h.  The header compiles as C11 and as C++17; the library is
 * built for the x86-64 baseline, its AVX2 and AVX-512 loops are enabled per
 * function by target attributes, contain only additions and subtractions
 * (nothing a compiler could fuse), and return before any scalar code runs.
 */
#ifndef OSTRELL_REDUCE_H
#define OSTRELL_REDUCE_H

#include <stddef.h>

#include "ostrell.h"
#include "ostrell_batch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Number of lanes: a multiple of every vector width, small enough that the
 * AVX2 accumulators (4 + 4 registers) stay in registers. */
#define OSTRELL_REDUCE_LANES 16

/* The sums and the dot product on the named path (ostrell_batch.h); every
 * path gives the same bits (a NaN's sign and payload aside). */
ostrell_t ostrell_sum_f64_isa(ostrell_isa isa, const double* x, size_t n);
ostrell_t ostrell_sum_rows_isa(ostrell_isa isa, const double* x, size_t n);
ostrell_t ostrell_dot_rows_isa(ostrell_isa isa, const double* a, const double* b, size_t n);

/* The same on the best path. */
ostrell_t ostrell_sum_f64(const double* x, size_t n);
ostrell_t ostrell_sum_rows(const double* x, size_t n);
ostrell_t ostrell_dot_rows(const double* a, const double* b, size_t n);

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_REDUCE_H */
