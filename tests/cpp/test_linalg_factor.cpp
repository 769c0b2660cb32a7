// LU, solve, determinant, inverse, Cholesky, QR and least squares: the
// blocked LU, its solves and Cholesky against the unblocked elimination of
// the stated order bit for bit; every result against exact rational
// arithmetic (GMP) on small matrices and by its exact residual on larger
// ones; singular and non-positive-definite inputs.
#include <cmath>
#include <random>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

#include "ostrell_linalg.h"
#include "test_util.hpp"

namespace {

using test::hex;

ostrell_t get(const std::vector<double>& a, size_t ld, size_t i, size_t j)
{
    return _mm_loadu_pd(&a[2 * (i * ld + j)]);
}
void put(std::vector<double>& a, size_t ld, size_t i, size_t j, ostrell_t x)
{
    _mm_storeu_pd(&a[2 * (i * ld + j)], x);
}

std::vector<double> random_matrix(size_t rows, size_t cols, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::vector<double> a(2 * rows * cols);
    for (size_t i = 0; i < rows * cols; ++i)
        _mm_storeu_pd(&a[2 * i], test::random_pair(rng, -2, 1));
    return a;
}

// Exact rationals: a matrix of mpq_t.
struct QMat {
    size_t r, c;
    std::vector<mpq_t> v;
    QMat(size_t rows, size_t cols) : r(rows), c(cols), v(rows * cols)
    {
        for (auto& x : v) mpq_init(x);
    }
    QMat(size_t rows, size_t cols, const std::vector<double>& a, size_t ld) : QMat(rows, cols)
    {
        mpq_t t;
        mpq_init(t);
        for (size_t i = 0; i < r; ++i)
            for (size_t j = 0; j < c; ++j) {
                mpq_set_d(at(i, j), a[2 * (i * ld + j)]);
                mpq_set_d(t, a[2 * (i * ld + j) + 1]);
                mpq_add(at(i, j), at(i, j), t);
            }
        mpq_clear(t);
    }
    QMat(const QMat&) = delete;
    ~QMat()
    {
        for (auto& x : v) mpq_clear(x);
    }
    mpq_ptr at(size_t i, size_t j) { return v[i * c + j]; }
};

// out = x y (exact).
void qmul(QMat& out, QMat& x, QMat& y)
{
    mpq_t t;
    mpq_init(t);
    for (size_t i = 0; i < x.r; ++i)
        for (size_t j = 0; j < y.c; ++j) {
            mpq_set_ui(out.at(i, j), 0, 1);
            for (size_t k = 0; k < x.c; ++k) {
                mpq_mul(t, x.at(i, k), y.at(k, j));
                mpq_add(out.at(i, j), out.at(i, j), t);
            }
        }
    mpq_clear(t);
}

// max |x_ij - y_ij| / max |y_ij| as a double.
double rel_diff(QMat& x, QMat& y)
{
    mpq_t d, m, t;
    mpq_inits(d, m, t, NULL);
    for (size_t i = 0; i < x.v.size(); ++i) {
        mpq_sub(t, x.v[i], y.v[i]);
        mpq_abs(t, t);
        if (mpq_cmp(t, d) > 0) mpq_set(d, t);
        mpq_abs(t, y.v[i]);
        if (mpq_cmp(t, m) > 0) mpq_set(m, t);
    }
    double r = mpq_sgn(m) ? mpq_get_d(d) / mpq_get_d(m) : mpq_get_d(d);
    mpq_clears(d, m, t, NULL);
    return r;
}

// Exact solution of x y = b by Gaussian elimination in rationals (x square, invertible).
void qsolve(QMat& x, QMat& b, QMat& out)
{
    size_t n = x.r;
    QMat a(n, n + b.c);
    mpq_t t;
    mpq_init(t);
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) mpq_set(a.at(i, j), x.at(i, j));
        for (size_t j = 0; j < b.c; ++j) mpq_set(a.at(i, n + j), b.at(i, j));
    }
    for (size_t k = 0; k < n; ++k) {
        size_t p = k;
        while (mpq_sgn(a.at(p, k)) == 0) ++p;
        for (size_t j = 0; j < a.c; ++j) mpq_swap(a.at(k, j), a.at(p, j));
        for (size_t i = 0; i < n; ++i) {
            if (i == k || mpq_sgn(a.at(i, k)) == 0) continue;
            mpq_div(t, a.at(i, k), a.at(k, k));
            for (size_t j = k; j < a.c; ++j) {
                mpq_t u;
                mpq_init(u);
                mpq_mul(u, t, a.at(k, j));
                mpq_sub(a.at(i, j), a.at(i, j), u);
                mpq_clear(u);
            }
        }
    }
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < b.c; ++j) mpq_div(out.at(i, j), a.at(i, n + j), a.at(i, i));
    mpq_clear(t);
}

// The stated order: unblocked right-looking elimination with whole-row swaps.
void lu_reference(size_t n, std::vector<double>& a, std::vector<size_t>& piv)
{
    for (size_t k = 0; k < n; ++k) {
        size_t p = k;
        for (size_t i = k + 1; i < n; ++i) {
            double xh, xl, yh, yl;
            ostrell_extract(get(a, n, i, k), &xh, &xl);
            ostrell_extract(get(a, n, p, k), &yh, &yl);
            if (xh < 0) xh = -xh, xl = -xl;
            if (yh < 0) yh = -yh, yl = -yl;
            if (xh > yh || (xh == yh && xl > yl)) p = i;
        }
        piv[k] = p;
        for (size_t j = 0; j < n; ++j) {
            ostrell_t t = get(a, n, k, j);
            put(a, n, k, j, get(a, n, p, j));
            put(a, n, p, j, t);
        }
        for (size_t i = k + 1; i < n; ++i) {
            ostrell_t l = ostrell_div(get(a, n, i, k), get(a, n, k, k));
            put(a, n, i, k, l);
            for (size_t j = k + 1; j < n; ++j)
                put(a, n, i, j, ostrell_add(get(a, n, i, j), ostrell_mul(ostrell_neg(l), get(a, n, k, j))));
        }
    }
}

void expect_same(const std::vector<double>& got, const std::vector<double>& want, const char* what)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i += 2)
        ASSERT_TRUE(test::same_bits(_mm_loadu_pd(&got[i]), _mm_loadu_pd(&want[i])))
            << what << " at value " << i / 2;
}

TEST(Factor, BlockedLuAndSolvesAreTheUnblockedOrder)
{
    for (size_t n : {1, 2, 7, 33, 70}) {
        auto a = random_matrix(n, n, 10 + n), b = random_matrix(n, 3, 20 + n);
        auto ref = a, x = b;
        std::vector<size_t> piv(n), ref_piv(n);
        ASSERT_EQ(0, ostrell_lu(n, a.data(), n, piv.data()));
        lu_reference(n, ref, ref_piv);
        EXPECT_EQ(piv, ref_piv);
        expect_same(a, ref, "LU");
        // Substitutions: forward in increasing k, back in decreasing k.
        ASSERT_EQ(0, ostrell_lu_solve(n, 3, a.data(), n, piv.data(), x.data(), 3));
        auto y = b;
        for (size_t k = 0; k < n; ++k)
            for (size_t j = 0; j < 3; ++j) {
                ostrell_t t = get(y, 3, k, j);
                put(y, 3, k, j, get(y, 3, piv[k], j));
                put(y, 3, piv[k], j, t);
            }
        for (size_t j = 0; j < 3; ++j) {
            for (size_t i = 0; i < n; ++i) {
                ostrell_t acc = get(y, 3, i, j);
                for (size_t k = 0; k < i; ++k)
                    acc = ostrell_add(acc, ostrell_mul(ostrell_neg(get(a, n, i, k)), get(y, 3, k, j)));
                put(y, 3, i, j, acc);
            }
            for (size_t i = n; i-- > 0;) {
                ostrell_t acc = get(y, 3, i, j);
                for (size_t k = n - 1; k > i; --k)
                    acc = ostrell_add(acc, ostrell_mul(ostrell_neg(get(a, n, i, k)), get(y, 3, k, j)));
                put(y, 3, i, j, ostrell_div(acc, get(a, n, i, i)));
            }
        }
        expect_same(x, y, "solve");
    }
}

// Entries near the top of the range, infinite or NaN send elements of the
// trailing updates to the product's scalar recompute: the factors still
// follow the unblocked order (NaN results as NaN in the same parts).
TEST(Factor, LuWithHugeInfiniteAndNanEntriesIsTheUnblockedOrder)
{
    const double odd[] = {1e300, -1e305, 6.8e299, INFINITY, -INFINITY, NAN};
    for (size_t n : {33, 70}) {
        auto a = random_matrix(n, n, 40 + n);
        for (size_t k = 0; k < n; k += 5)
            a[2 * (k * n + (7 * k + 3) % n)] = odd[k % 6];
        auto ref = a;
        std::vector<size_t> piv(n), ref_piv(n);
        ostrell_lu(n, a.data(), n, piv.data());
        lu_reference(n, ref, ref_piv);
        EXPECT_EQ(piv, ref_piv);
        for (size_t i = 0; i < a.size(); i += 2)
            ASSERT_TRUE(test::same_bits_or_nan(_mm_loadu_pd(&a[i]), _mm_loadu_pd(&ref[i])))
                << "n = " << n << ", value " << i / 2;
    }
}

TEST(Factor, CholeskyIsTheStatedOrder)
{
    for (size_t n : {1, 6, 70, 150}) {
        // A = M M^T + n I, rounded to double-double: symmetric positive definite.
        auto m = random_matrix(n, n, 30 + n);
        std::vector<double> a(2 * n * n), ref;
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j <= i; ++j) {
                ostrell_t acc = ostrell_from_double(i == j ? double(n) : 0.0);
                for (size_t k = 0; k < n; ++k)
                    acc = ostrell_add(acc, ostrell_mul(get(m, n, i, k), get(m, n, j, k)));
                put(a, n, i, j, acc);
                if (j < i) put(a, n, j, i, ostrell_from_double(-7.0));  // the upper triangle is kept
            }
        ref = a;
        ASSERT_EQ(0, ostrell_cholesky(n, a.data(), n));
        for (size_t j = 0; j < n; ++j) {
            ostrell_t acc = get(ref, n, j, j);
            for (size_t k = 0; k < j; ++k)
                acc = ostrell_add(acc, ostrell_mul(ostrell_neg(get(ref, n, j, k)), get(ref, n, j, k)));
            put(ref, n, j, j, ostrell_sqrt(acc));
            for (size_t i = j + 1; i < n; ++i) {
                acc = get(ref, n, i, j);
                for (size_t k = 0; k < j; ++k)
                    acc = ostrell_add(acc, ostrell_mul(ostrell_neg(get(ref, n, i, k)), get(ref, n, j, k)));
                put(ref, n, i, j, ostrell_div(acc, get(ref, n, j, j)));
            }
        }
        expect_same(a, ref, "Cholesky");
    }
}

TEST(Factor, AgainstExactRationals)
{
    for (size_t n : {3, 8, 120}) {
        auto a = random_matrix(n, n, 40 + n), b = random_matrix(n, 2, 50 + n);
        QMat qa(n, n, a, n), qb(n, 2, b, 2);
        auto lu = a, x = b;
        ASSERT_EQ(0, ostrell_solve(n, 2, lu.data(), n, x.data(), 2));
        // Residual ||A x - b|| / (||A|| ||x||), exact.
        QMat qx(n, 2, x, 2), ax(n, 2);
        qmul(ax, qa, qx);
        double anorm = 0, xmax = 0, bmax = 0;
        for (size_t i = 0; i < n; ++i) {
            double row = 0;
            for (size_t j = 0; j < n; ++j) row += std::fabs(a[2 * (i * n + j)]);
            anorm = std::max(anorm, row);
        }
        for (size_t i = 0; i < 2 * n; ++i) xmax = std::max(xmax, std::fabs(x[2 * i]));
        for (size_t i = 0; i < 2 * n; ++i) bmax = std::max(bmax, std::fabs(b[2 * i]));
        EXPECT_LT(rel_diff(ax, qb) * bmax / (anorm * xmax), 1e-30) << "n " << n;
        if (n > 8) continue;
        // Forward errors of solve, inverse and determinant (small, well-conditioned).
        QMat exact(n, 2);
        qsolve(qa, qb, exact);
        EXPECT_LT(rel_diff(qx, exact), 1e-29) << "solve n " << n;
        auto inv = a;
        ASSERT_EQ(0, ostrell_inv(n, inv.data(), n));
        QMat qinv(n, n, inv, n), id(n, n), prod(n, n);
        for (size_t i = 0; i < n; ++i) mpq_set_ui(id.at(i, i), 1, 1);
        qmul(prod, qa, qinv);
        EXPECT_LT(rel_diff(prod, id), 1e-29) << "inverse n " << n;
        double det[2];
        ASSERT_EQ(0, ostrell_det(n, a.data(), n, det));
        QMat qd(1, 1), qdet(1, 1);
        {
            // exact determinant: product of the rational elimination's pivots
            QMat w(n, n, a, n);
            mpq_t t, u;
            mpq_inits(t, u, NULL);
            mpq_set_ui(qdet.at(0, 0), 1, 1);
            for (size_t k = 0; k < n; ++k) {
                size_t p = k;
                while (mpq_sgn(w.at(p, k)) == 0) ++p;
                if (p != k) {
                    for (size_t j = 0; j < n; ++j) mpq_swap(w.at(k, j), w.at(p, j));
                    mpq_neg(qdet.at(0, 0), qdet.at(0, 0));
                }
                mpq_mul(qdet.at(0, 0), qdet.at(0, 0), w.at(k, k));
                for (size_t i = k + 1; i < n; ++i) {
                    mpq_div(t, w.at(i, k), w.at(k, k));
                    for (size_t j = k; j < n; ++j) {
                        mpq_mul(u, t, w.at(k, j));
                        mpq_sub(w.at(i, j), w.at(i, j), u);
                    }
                }
            }
            mpq_clears(t, u, NULL);
        }
        std::vector<double> dv = {det[0], det[1]};
        QMat qdv(1, 1, dv, 1);
        EXPECT_LT(rel_diff(qdv, qdet), 1e-30) << "det n " << n;
    }
}

TEST(Factor, QrAndLeastSquaresAgainstExactRationals)
{
    const size_t m = 9, n = 4;
    auto a = random_matrix(m, n, 60), b = random_matrix(m, 1, 61);
    auto qr = a;
    std::vector<double> tau(2 * n), q(2 * m * n), r(2 * n * n);
    ASSERT_EQ(0, ostrell_qr(m, n, qr.data(), n, tau.data()));
    ASSERT_EQ(0, ostrell_qr_q(m, n, qr.data(), n, tau.data(), q.data(), n));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i; j < n; ++j) put(r, n, i, j, get(qr, n, i, j));
    QMat qq(m, n, q, n), qrr(n, n, r, n), qa(m, n, a, n), prod(m, n), qt(n, m), qtq(n, n), id(n, n);
    qmul(prod, qq, qrr);
    EXPECT_LT(rel_diff(prod, qa), 1e-30);
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < n; ++j) mpq_set(qt.at(j, i), qq.at(i, j));
    qmul(qtq, qt, qq);
    for (size_t i = 0; i < n; ++i) mpq_set_ui(id.at(i, i), 1, 1);
    EXPECT_LT(rel_diff(qtq, id), 1e-30);
    // Least squares against the exact normal equations A^T A x = A^T b.
    auto a2 = a, b2 = b;
    ASSERT_EQ(0, ostrell_lstsq(m, n, 1, a2.data(), n, b2.data(), 1));
    QMat at(n, m), ata(n, n), qb(m, 1, b, 1), atb(n, 1), exact(n, 1);
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < n; ++j) mpq_set(at.at(j, i), qa.at(i, j));
    qmul(ata, at, qa);
    qmul(atb, at, qb);
    qsolve(ata, atb, exact);
    QMat got(n, 1, b2, 1);
    EXPECT_LT(rel_diff(got, exact), 1e-29);
}

TEST(Factor, SingularAndNotPositiveDefinite)
{
    const size_t n = 5;
    auto a = random_matrix(n, n, 70), b = random_matrix(n, 1, 71);
    for (size_t j = 0; j < n; ++j) put(a, n, 3, j, get(a, n, 1, j));  // two equal rows
    auto lu = a, x = b, inv = a;
    EXPECT_EQ(OSTRELL_LINALG_SINGULAR, ostrell_solve(n, 1, lu.data(), n, x.data(), 1));
    expect_same(x, b, "b after a singular solve");
    EXPECT_EQ(OSTRELL_LINALG_SINGULAR, ostrell_inv(n, inv.data(), n));
    expect_same(inv, a, "a after a singular inverse");
    double det[2] = {1, 1};
    EXPECT_EQ(0, ostrell_det(n, a.data(), n, det));
    EXPECT_EQ(0.0, det[0]) << hex(det[0]);
    // Not positive definite: a negative diagonal after the updates, and a NaN.
    std::vector<double> s = {4, 0, 2, 0, 2, 0, 1, 0};  // [[4, 2], [2, 1]] is singular
    EXPECT_EQ(OSTRELL_LINALG_NOT_PD, ostrell_cholesky(2, s.data(), 2));
    std::vector<double> t = {NAN, 0};
    EXPECT_EQ(OSTRELL_LINALG_NOT_PD, ostrell_cholesky(1, t.data(), 1));
    // Rank-deficient least squares: a zero column.
    auto c = random_matrix(6, 3, 72), d = random_matrix(6, 1, 73);
    for (size_t i = 0; i < 6; ++i) put(c, 3, i, 1, _mm_setzero_pd());
    EXPECT_EQ(OSTRELL_LINALG_SINGULAR, ostrell_lstsq(6, 3, 1, c.data(), 3, d.data(), 1));
    EXPECT_EQ(OSTRELL_LINALG_EINVAL, ostrell_lstsq(2, 3, 1, c.data(), 3, d.data(), 1));
}

}  // namespace
