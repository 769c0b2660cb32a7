/* factor.c: LU with partial pivoting, triangular solves, Cholesky,
 * determinant, inverse, Householder QR and least squares.  The orders of
 * operations are those stated in ostrell_linalg.h; the recursive blocking
 * below only groups each element's fold into ostrell_gemm calls, in the same
 * increasing order. */
#include <stdlib.h>
#include <string.h>

#include "ostrell_linalg.h"

#include "linalg/gemm.h"

#define AT(p, ld, i, j) ((p) + 2 * ((size_t)(i) * (ld) + (j)))

static ostrell_t _ld(const double* p) { return _mm_loadu_pd(p); }
static void _st(double* p, ostrell_t x) { _mm_storeu_pd(p, x); }

/* Size of rows x cols values in bytes, 0 on overflow (or an empty matrix). */
static size_t _bytes(size_t rows, size_t cols)
{
    if (rows == 0 || cols == 0 || rows > ((size_t)-1 / 16) / cols)
        return 0;
    return rows * cols * 16;
}

static double* _alloc(size_t rows, size_t cols)
{
    size_t b = _bytes(rows, cols);
    return b ? (double*)malloc(b) : NULL;
}

/* Solves L X = B in place for lower triangular L (n x n), unit diagonal or
 * not: row i of X is the fold over k < i of add(acc, mul(-l_ik, x_k)) from
 * b_i, then (not unit) divided by l_ii. */
static void _trsm_lower(size_t n, size_t nr, const double* l, size_t ldl, double* b, size_t ldb,
                        int unit)
{
    size_t h;
    if (n == 0 || nr == 0)
        return;
    if (n == 1) {
        size_t j;
        if (!unit) {
            ostrell_t d = _ld(l);
            for (j = 0; j < nr; ++j)
                _st(AT(b, ldb, 0, j), ostrell_div(_ld(AT(b, ldb, 0, j)), d));
        }
        return;
    }
    h = n / 2;
    _trsm_lower(h, nr, l, ldl, b, ldb, unit);
    _ostrell_gemm_sub(n - h, nr, h, AT(l, ldl, h, 0), ldl, b, ldb, AT(b, ldb, h, 0), ldb);
    _trsm_lower(n - h, nr, AT(l, ldl, h, h), ldl, AT(b, ldb, h, 0), ldb, unit);
}

/* Solves U X = B in place for upper triangular U with a non-zero diagonal:
 * row i of X is the fold over k = n-1 down to i+1 of add(acc, mul(-u_ik,
 * x_k)) from b_i, divided by u_ii.  Done as the lower solve of the matrix
 * and the rows reversed. */
static int _trsm_upper(size_t n, size_t nr, const double* u, size_t ldu, double* b, size_t ldb)
{
    double* r;
    size_t i, j;
    if (n == 0 || nr == 0)
        return 0;
    r = _alloc(n, n);
    if (!r)
        return OSTRELL_LINALG_ENOMEM;
    for (i = 0; i < n; ++i)
        for (j = 0; j <= i; ++j)
            _st(AT(r, n, i, j), _ld(AT(u, ldu, n - 1 - i, n - 1 - j)));
    for (i = 0; i < n / 2; ++i)
        for (j = 0; j < nr; ++j) {
            ostrell_t t = _ld(AT(b, ldb, i, j));
            _st(AT(b, ldb, i, j), _ld(AT(b, ldb, n - 1 - i, j)));
            _st(AT(b, ldb, n - 1 - i, j), t);
        }
    _trsm_lower(n, nr, r, n, b, ldb, 0);
    for (i = 0; i < n / 2; ++i)
        for (j = 0; j < nr; ++j) {
            ostrell_t t = _ld(AT(b, ldb, i, j));
            _st(AT(b, ldb, i, j), _ld(AT(b, ldb, n - 1 - i, j)));
            _st(AT(b, ldb, n - 1 - i, j), t);
        }
    free(r);
    return 0;
}

/* |x| > |y| as double-double values; false when either is NaN. */
static int _abs_greater(ostrell_t x, ostrell_t y)
{
    double xh, xl, yh, yl;
    ostrell_extract(x, &xh, &xl);
    ostrell_extract(y, &yh, &yl);
    if (xh < 0.0) {
        xh = -xh;
        xl = -xl;
    }
    if (yh < 0.0) {
        yh = -yh;
        yl = -yl;
    }
    return xh > yh || (xh == yh && xl > yl);
}

static void _swap_rows(double* a, size_t lda, size_t r1, size_t r2, size_t c0, size_t cols)
{
    size_t j;
    if (r1 == r2)
        return;
    for (j = c0; j < c0 + cols; ++j) {
        ostrell_t t = _ld(AT(a, lda, r1, j));
        _st(AT(a, lda, r1, j), _ld(AT(a, lda, r2, j)));
        _st(AT(a, lda, r2, j), t);
    }
}

/* LU of the m x w panel p (m >= w), pivots relative to the panel's first
 * row.  Left half, its swaps on the right half, the right half's U rows by
 * the unit lower solve, the trailing update through the product, the right
 * half's own factorisation, its swaps on the left half.  Returns 1 after a
 * zero pivot. */
static int _lu_panel(size_t m, size_t w, double* p, size_t ld, size_t* piv)
{
    size_t n1, n2, k;
    int sing;
    if (w == 1) {
        size_t i, best = 0;
        ostrell_t d;
        for (i = 1; i < m; ++i)
            if (_abs_greater(_ld(AT(p, ld, i, 0)), _ld(AT(p, ld, best, 0))))
                best = i;
        piv[0] = best;
        _swap_rows(p, ld, 0, best, 0, 1);
        d = _ld(p);
        if (_mm_movemask_pd(_mm_cmpeq_pd(d, _mm_setzero_pd())) == 3)
            return 1;
        for (i = 1; i < m; ++i)
            _st(AT(p, ld, i, 0), ostrell_div(_ld(AT(p, ld, i, 0)), d));
        return 0;
    }
    n1 = w / 2;
    n2 = w - n1;
    sing = _lu_panel(m, n1, p, ld, piv);
    for (k = 0; k < n1; ++k)
        _swap_rows(p, ld, k, piv[k], n1, n2);
    _trsm_lower(n1, n2, p, ld, AT(p, ld, 0, n1), ld, 1);
    _ostrell_gemm_sub(m - n1, n2, n1, AT(p, ld, n1, 0), ld, AT(p, ld, 0, n1), ld,
                      AT(p, ld, n1, n1), ld);
    sing |= _lu_panel(m - n1, n2, AT(p, ld, n1, n1), ld, piv + n1);
    for (k = n1; k < w; ++k) {
        piv[k] += n1;
        _swap_rows(p, ld, k, piv[k], 0, n1);
    }
    return sing;
}

int ostrell_lu(size_t n, double* a, size_t lda, size_t* piv)
{
    if (lda < n)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0)
        return 0;
    return _lu_panel(n, n, a, lda, piv) ? OSTRELL_LINALG_SINGULAR : 0;
}

/* The zero pivot check of solve and inverse: a diagonal element (0, 0). */
static int _has_zero_diag(size_t n, const double* a, size_t lda)
{
    size_t k;
    for (k = 0; k < n; ++k)
        if (_mm_movemask_pd(_mm_cmpeq_pd(_ld(AT(a, lda, k, k)), _mm_setzero_pd())) == 3)
            return 1;
    return 0;
}

int ostrell_lu_solve(size_t n, size_t nrhs, const double* lu, size_t lda, const size_t* piv,
                     double* b, size_t ldb)
{
    size_t k;
    if (lda < n || ldb < nrhs)
        return OSTRELL_LINALG_EINVAL;
    if (_has_zero_diag(n, lu, lda))
        return OSTRELL_LINALG_SINGULAR;
    for (k = 0; k < n; ++k)
        _swap_rows(b, ldb, k, piv[k], 0, nrhs);
    _trsm_lower(n, nrhs, lu, lda, b, ldb, 1);
    return _trsm_upper(n, nrhs, lu, lda, b, ldb);
}

int ostrell_solve(size_t n, size_t nrhs, double* a, size_t lda, double* b, size_t ldb)
{
    size_t* piv;
    int rc;
    if (lda < n || ldb < nrhs)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0)
        return 0;
    piv = (size_t*)malloc(n * sizeof(size_t));
    if (!piv)
        return OSTRELL_LINALG_ENOMEM;
    rc = ostrell_lu(n, a, lda, piv);
    if (rc == 0)
        rc = ostrell_lu_solve(n, nrhs, a, lda, piv, b, ldb);
    free(piv);
    return rc;
}

/* ostrell_lu of a copy of a (n >= 1) into *lu (leading dimension n) and
 * *piv, which the caller frees; ostrell_lu's result, or
 * OSTRELL_LINALG_ENOMEM with nothing allocated. */
static int _lu_copy(size_t n, const double* a, size_t lda, double** lu, size_t** piv)
{
    size_t i;
    *lu = _alloc(n, n);
    *piv = (size_t*)malloc(n * sizeof(size_t));
    if (!*lu || !*piv) {
        free(*lu);
        free(*piv);
        return OSTRELL_LINALG_ENOMEM;
    }
    for (i = 0; i < n; ++i)
        memcpy(AT(*lu, n, i, 0), AT(a, lda, i, 0), 16 * n);
    return ostrell_lu(n, *lu, n, *piv);
}

int ostrell_det(size_t n, const double* a, size_t lda, double* det)
{
    double* lu;
    size_t* piv;
    size_t j;
    int odd = 0;
    ostrell_t d;
    if (lda < n)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0) {
        det[0] = 1.0;
        det[1] = 0.0;
        return 0;
    }
    if (_lu_copy(n, a, lda, &lu, &piv) < 0)
        return OSTRELL_LINALG_ENOMEM;
    d = _ld(lu);
    for (j = 1; j < n; ++j)
        d = ostrell_mul(d, _ld(AT(lu, n, j, j)));
    for (j = 0; j < n; ++j)
        odd ^= piv[j] != j;
    if (odd)
        d = ostrell_neg(d);
    ostrell_extract(d, &det[0], &det[1]);
    free(lu);
    free(piv);
    return 0;
}

int ostrell_inv(size_t n, double* a, size_t lda)
{
    double* lu;
    size_t* piv;
    size_t i;
    int rc;
    if (lda < n)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0)
        return 0;
    if ((rc = _lu_copy(n, a, lda, &lu, &piv)) < 0)
        return rc;
    if (rc == 0) {
        for (i = 0; i < n; ++i) {
            memset(AT(a, lda, i, 0), 0, 16 * n);
            *AT(a, lda, i, i) = 1.0;
        }
        rc = ostrell_lu_solve(n, n, lu, n, piv, a, lda);
    }
    free(lu);
    free(piv);
    return rc;
}

/* ---- Cholesky ---------------------------------------------------------- */

/* X L^T = B in place for X (m x n) and lower L (n x n): column j of X is
 * the fold over k < j of add(acc, mul(-x_ik, l_jk)) from b_ij, divided by
 * l_jj.  Column halves; the update is (-X_a) L_b^T through the product. */
static int _trsm_right_lt(size_t m, size_t n, const double* l, size_t ldl, double* b, size_t ldb)
{
    size_t h, i, j;
    double* lt;
    int rc;
    if (m == 0 || n == 0)
        return 0;
    if (n == 1) {
        ostrell_t d = _ld(l);
        for (i = 0; i < m; ++i)
            _st(AT(b, ldb, i, 0), ostrell_div(_ld(AT(b, ldb, i, 0)), d));
        return 0;
    }
    h = n / 2;
    if ((rc = _trsm_right_lt(m, h, l, ldl, b, ldb)) != 0)
        return rc;
    lt = _alloc(h, n - h);
    if (!lt)
        return OSTRELL_LINALG_ENOMEM;
    for (i = 0; i < h; ++i) /* lt = L_b^T: L_b is rows [h, n), columns [0, h) */
        for (j = 0; j < n - h; ++j)
            _st(AT(lt, n - h, i, j), _ld(AT(l, ldl, h + j, i)));
    _ostrell_gemm_sub(m, n - h, h, b, ldb, lt, n - h, AT(b, ldb, 0, h), ldb);
    free(lt);
    return _trsm_right_lt(m, n - h, AT(l, ldl, h, h), ldl, AT(b, ldb, 0, h), ldb);
}

/* Rows of the trailing update per product call: only the blocks on and
 * below the diagonal are computed. */
#define _OSTRELL_CHOL_PANEL 64

static int _chol(size_t n, double* a, size_t lda)
{
    size_t h, m, r0, i, j;
    double* l21t;
    int rc;
    if (n == 1) {
        ostrell_t d = _ld(a);
        if (!(_mm_cvtsd_f64(d) > 0.0))
            return OSTRELL_LINALG_NOT_PD;
        _st(a, ostrell_sqrt(d));
        return 0;
    }
    h = n / 2;
    m = n - h;
    if ((rc = _chol(h, a, lda)) != 0)
        return rc;
    if ((rc = _trsm_right_lt(m, h, a, lda, AT(a, lda, h, 0), lda)) != 0)
        return rc;
    /* A22 += (-L21) L21^T, element (i, j) getting mul(-l_ik, l_jk). */
    l21t = _alloc(h, m);
    if (!l21t)
        return OSTRELL_LINALG_ENOMEM;
    for (i = 0; i < m; ++i)
        for (j = 0; j < h; ++j)
            _st(AT(l21t, m, j, i), _ld(AT(a, lda, h + i, j)));
    for (r0 = 0; r0 < m; r0 += _OSTRELL_CHOL_PANEL) {
        size_t rows = m - r0 < _OSTRELL_CHOL_PANEL ? m - r0 : _OSTRELL_CHOL_PANEL;
        _ostrell_gemm_sub(rows, r0 + rows, h, AT(a, lda, h + r0, 0), lda, l21t, m,
                          AT(a, lda, h + r0, h), lda);
    }
    free(l21t);
    return _chol(m, AT(a, lda, h, h), lda);
}

int ostrell_cholesky(size_t n, double* a, size_t lda)
{
    double* upper;
    size_t i, j, c = 0;
    int rc;
    if (lda < n)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0)
        return 0;
    /* The trailing updates write some of the strict upper triangle: kept
     * here and put back. */
    upper = n > 1 ? _alloc(n, (n - 1) / 2 + 1) : NULL;
    if (n > 1 && !upper)
        return OSTRELL_LINALG_ENOMEM;
    for (i = 0; i < n; ++i)
        for (j = i + 1; j < n; ++j)
            _st(upper + 2 * c++, _ld(AT(a, lda, i, j)));
    rc = _chol(n, a, lda);
    for (c = 0, i = 0; i < n; ++i)
        for (j = i + 1; j < n; ++j)
            _st(AT(a, lda, i, j), _ld(upper + 2 * c++));
    free(upper);
    return rc;
}

/* ---- Householder QR ---------------------------------------------------- */

/* Applies reflector j (vector below the diagonal of column j of qr, scale
 * tau) to columns [c0, c1) of the m-row matrix x: w = fold from x_jc of
 * add(acc, mul(v_i, x_ic)), t = mul(tau, w), x_ic = add(x_ic, mul(-t, v_i))
 * for i >= j with v_j = 1. */
static void _reflect(size_t m, const double* qr, size_t lda, size_t j, ostrell_t tau, double* x,
                     size_t ldx, size_t c0, size_t c1)
{
    size_t c, i;
    ostrell_t one = ostrell_from_double(1.0);
    for (c = c0; c < c1; ++c) {
        ostrell_t w = _ld(AT(x, ldx, j, c)), nt;
        for (i = j + 1; i < m; ++i)
            w = ostrell_add(w, ostrell_mul(_ld(AT(qr, lda, i, j)), _ld(AT(x, ldx, i, c))));
        nt = ostrell_neg(ostrell_mul(tau, w));
        _st(AT(x, ldx, j, c), ostrell_add(_ld(AT(x, ldx, j, c)), ostrell_mul(nt, one)));
        for (i = j + 1; i < m; ++i)
            _st(AT(x, ldx, i, c),
                ostrell_add(_ld(AT(x, ldx, i, c)), ostrell_mul(nt, _ld(AT(qr, lda, i, j)))));
    }
}

int ostrell_qr(size_t m, size_t n, double* a, size_t lda, double* tau)
{
    size_t k = m < n ? m : n, j, i;
    if (lda < n)
        return OSTRELL_LINALG_EINVAL;
    for (j = 0; j < k; ++j) {
        ostrell_t x0 = _ld(AT(a, lda, j, j)), ss = _mm_setzero_pd(), nrm, alpha, den, t;
        for (i = j; i < m; ++i) {
            ostrell_t x = _ld(AT(a, lda, i, j));
            ss = ostrell_add(ss, ostrell_mul(x, x));
        }
        nrm = ostrell_sqrt(ss);
        if (_mm_movemask_pd(_mm_cmpeq_pd(nrm, _mm_setzero_pd())) == 3) {
            _st(tau + 2 * j, _mm_setzero_pd());
            continue;
        }
        alpha = _mm_cvtsd_f64(x0) >= 0.0 ? ostrell_neg(nrm) : nrm;
        t = ostrell_div(ostrell_sub(alpha, x0), alpha);
        den = ostrell_sub(x0, alpha);
        for (i = j + 1; i < m; ++i)
            _st(AT(a, lda, i, j), ostrell_div(_ld(AT(a, lda, i, j)), den));
        _st(AT(a, lda, j, j), alpha);
        _st(tau + 2 * j, t);
        _reflect(m, a, lda, j, t, a, lda, j + 1, n);
    }
    return 0;
}

int ostrell_qr_q(size_t m, size_t n, const double* qr, size_t lda, const double* tau, double* q,
                 size_t ldq)
{
    size_t k = m < n ? m : n, i, j;
    if (lda < n || ldq < k)
        return OSTRELL_LINALG_EINVAL;
    for (i = 0; i < m; ++i) {
        memset(AT(q, ldq, i, 0), 0, 16 * k);
        if (i < k)
            *AT(q, ldq, i, i) = 1.0;
    }
    for (j = k; j-- > 0;)
        _reflect(m, qr, lda, j, _ld(tau + 2 * j), q, ldq, j, k);
    return 0;
}

int ostrell_lstsq(size_t m, size_t n, size_t nrhs, double* a, size_t lda, double* b, size_t ldb)
{
    double* tau;
    size_t j;
    int rc;
    if (m < n || lda < n || ldb < nrhs)
        return OSTRELL_LINALG_EINVAL;
    if (n == 0)
        return 0;
    tau = _alloc(n, 1);
    if (!tau)
        return OSTRELL_LINALG_ENOMEM;
    ostrell_qr(m, n, a, lda, tau);
    rc = _has_zero_diag(n, a, lda) ? OSTRELL_LINALG_SINGULAR : 0;
    if (rc == 0) {
        for (j = 0; j < n; ++j)
            _reflect(m, a, lda, j, _ld(tau + 2 * j), b, ldb, 0, nrhs);
        rc = _trsm_upper(n, nrhs, a, lda, b, ldb);
    }
    free(tau);
    return rc;
}
