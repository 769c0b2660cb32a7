/* linalg/gemm.h: the product entry the factorisations use (internal). */
#ifndef OSTRELL_LINALG_GEMM_H
#define OSTRELL_LINALG_GEMM_H

#include <stddef.h>

/* C += (-A) B on the best path, the calling thread only: ostrell_gemm with
 * accumulate = 1 on the matrix whose elements are ostrell_neg(a_ik), read
 * from A as the product packs it (no negated copy of A).  A may lie in the
 * same matrix as C when they share no element (the factorisations read
 * columns left of those they update): A is only read, C only in its own
 * elements. */
int _ostrell_gemm_sub(size_t m, size_t n, size_t k, const double* a, size_t lda, const double* b,
                      size_t ldb, double* c, size_t ldc);

#endif /* OSTRELL_LINALG_GEMM_H */
