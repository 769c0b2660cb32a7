/* ostrell_linalg.h: dense linear algebra on matrices of double-double values
 * (declarations; the code is compiled into the ostrell::batch library).
 *
 * A matrix is row-major: element (i, j) of a matrix with leading dimension ld
 * is the row (hi, lo) at a + 2 * (i * ld + j), so ld counts values (pairs of
 * doubles) and must be at least the number of columns.  A C-contiguous
 * NumPy array of shape (m, n, 2) is an m x n matrix with ld = n.
 *
 * Order of operations (defined bits, the same on every path, blocking,
 * thread count and build):
 *
 *   ostrell_gemm: element (i, j) of C is the left fold over k = 0, 1, ...,
 *     K - 1 of acc = ostrell_add(acc, ostrell_mul(a_ik, b_kj)), from acc =
 *     (+0, +0) (accumulate = 0) or from c_ij (accumulate = 1).
 *
 *   ostrell_lu: right-looking elimination.  At step k the pivot is the row
 *     p >= k whose column-k value has the largest magnitude (compared as
 *     double-double values; the first such row); rows k and p are swapped
 *     across the whole matrix; l_ik = ostrell_div(a_ik, a_kk) for i > k; and
 *     every a_ij with i, j > k becomes ostrell_add(a_ij, ostrell_mul(-l_ik,
 *     a_kj)).  So a_ij is the left fold of its updates in increasing k, the
 *     fold of ostrell_gemm; the blocked code (trailing updates through the
 *     product) gives exactly these bits.  A zero pivot leaves its column
 *     unscaled and the factorisation goes on (LAPACK's convention).
 *
 *   triangular solves (ostrell_lu_solve, ostrell_cholesky_solve): forward
 *     substitution x_i = fold over k < i of ostrell_add(acc, ostrell_mul(-l_ik,
 *     x_k)) from b_i (then ostrell_div by l_ii when not unit), back
 *     substitution likewise over k = n-1 down to i+1 (decreasing k), then
 *     ostrell_div by u_ii.
 *
 *   ostrell_cholesky: A = L L^T, lower.  l_jj = ostrell_sqrt(fold over k < j
 *     of ostrell_add(acc, ostrell_mul(-l_jk, l_jk)) from a_jj), l_ij (i > j) =
 *     ostrell_div(fold over k < j of ostrell_add(acc, ostrell_mul(-l_ik, l_jk))
 *     from a_ij, l_jj).
 *
 *   ostrell_det: the LU factors' diagonal, left fold of ostrell_mul from u_00
 *     in increasing k, negated (exactly) when the pivots made an odd
 *     permutation.
 *
 *   ostrell_qr: Householder reflections, column by column; see the comment of
 *     ostrell_qr below.
 *
 * Return codes: 0 success; OSTRELL_LINALG_SINGULAR (a zero pivot; for
 * ostrell_qr_solve a zero diagonal of R), OSTRELL_LINALG_NOT_PD (a diagonal
 * element of the Cholesky factor's square not positive, or NaN), negative for
 * bad arguments or no memory (nothing written then).
 *
 * Paths: ostrell_gemm vectorises across the columns of C (each lane one output
 * element) on SSE2, AVX2 or AVX-512F, chosen once like the batch functions;
 * the _isa form names a path and a thread count.  Elements whose fold meets
 * one of the scalar kernels' special branches (a factor above 6.7e299, an
 * overflow, a NaN or infinity) are recomputed by the scalar fold.
 *
 * Compiles as C11 and as C++17.
 */
#ifndef OSTRELL_LINALG_H
#define OSTRELL_LINALG_H

#include <stddef.h>

#include "ostrell_batch.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    OSTRELL_LINALG_OK = 0,
    OSTRELL_LINALG_SINGULAR = 1,
    OSTRELL_LINALG_NOT_PD = 2,
    OSTRELL_LINALG_EINVAL = -1, /* a leading dimension below the width, or a size overflow */
    OSTRELL_LINALG_ENOMEM = -2
};

/* C (m x n) = A (m x k) B (k x n), or C + A B when accumulate is non-zero.
 * C may not overlap A or B. */
int ostrell_gemm(int accumulate, size_t m, size_t n, size_t k, const double* a, size_t lda,
                 const double* b, size_t ldb, double* c, size_t ldc);

/* The same on a named path with up to `threads` threads over blocks of rows
 * of C (0 or 1: the calling thread only).  The bits do not depend on either. */
int ostrell_gemm_isa(ostrell_isa isa, unsigned threads, int accumulate, size_t m, size_t n,
                     size_t k, const double* a, size_t lda, const double* b, size_t ldb,
                     double* c, size_t ldc);

/* LU factorisation with partial pivoting of the n x n matrix a, in place:
 * L (unit diagonal, below) and U (on and above).  piv[k] is the row swapped
 * with row k at step k.  Returns OSTRELL_LINALG_SINGULAR when a pivot is zero
 * (the factors are still complete). */
int ostrell_lu(size_t n, double* a, size_t lda, size_t* piv);

/* Solves A X = B (B: n x nrhs, overwritten by X) from ostrell_lu's factors. */
int ostrell_lu_solve(size_t n, size_t nrhs, const double* lu, size_t lda, const size_t* piv,
                     double* b, size_t ldb);

/* Factors a in place and solves A X = B (B overwritten by X).  On
 * OSTRELL_LINALG_SINGULAR, b is left unchanged. */
int ostrell_solve(size_t n, size_t nrhs, double* a, size_t lda, double* b, size_t ldb);

/* The determinant of a (n x n, not modified) into det[0], det[1] (hi, lo);
 * (+1, +0) for n = 0. */
int ostrell_det(size_t n, const double* a, size_t lda, double* det);

/* a (n x n) replaced by its inverse (solve against the identity).  On
 * OSTRELL_LINALG_SINGULAR, a is left unchanged. */
int ostrell_inv(size_t n, double* a, size_t lda);

/* Cholesky factor of the symmetric positive definite a (only the lower
 * triangle is read), in place: L on and below the diagonal, the strict upper
 * triangle left as it was.  OSTRELL_LINALG_NOT_PD when a diagonal square is
 * not positive (a is then partly overwritten). */
int ostrell_cholesky(size_t n, double* a, size_t lda);

/* Householder QR of the m x n matrix a (m >= n not required), in place: R on
 * and above the diagonal, the reflectors' vectors below it (v_j with implicit
 * v_jj = 1), their scales in tau[0 .. min(m, n)).  Reflector j: with x the
 * column j from row j, alpha = -sign(x_0) ||x|| (sqrt of the left fold of
 * ostrell_add(acc, ostrell_mul(x_i, x_i)) from +0), v = x / (x_0 - alpha)
 * after v_0 = 1, tau = (alpha - x_0) / alpha; H = I - tau v v^T applied to
 * the later columns as w = fold of add(acc, mul(v_i, a_i)) from a_j, a_i =
 * add(a_i, mul(-(tau w), v_i)).  A zero column gives tau = 0 (H = I). */
int ostrell_qr(size_t m, size_t n, double* a, size_t lda, double* tau);

/* Q (m x k, k = min(m, n), orthonormal columns) from ostrell_qr's output into
 * q (leading dimension ldq >= k). */
int ostrell_qr_q(size_t m, size_t n, const double* qr, size_t lda, const double* tau, double* q,
                 size_t ldq);

/* Least squares for m >= n and full column rank: minimises ||A X - B|| over X
 * (n x nrhs).  a (m x n) is overwritten by its QR factors, b (m x nrhs) by
 * Q^T B, whose first n rows are X and the rest the residual's components.
 * OSTRELL_LINALG_SINGULAR when R has a zero diagonal element (rank deficient). */
int ostrell_lstsq(size_t m, size_t n, size_t nrhs, double* a, size_t lda, double* b, size_t ldb);

#ifdef __cplusplus
}
#endif

#endif /* OSTRELL_LINALG_H */
