// Iterative refinement: a binary64 LU factorisation does the solving, the
// residuals b - A x are computed in double-double (ostrell_gemm), and the
// solution is kept in double-double.  Each step gains about as many digits
// as binary64 has left after the condition number, until the double-double
// working precision: here for a scaled Hilbert matrix (condition ~1e10).
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "ostrell.hpp"
#include "ostrell_linalg.h"

using ostrell::float128;

int main()
{
    const size_t n = 8;
    // A = 27720 H (exact integers over binary64), b = A (1, ..., 1): x = 1 exactly.
    std::vector<double> a(n * n), lu(n * n), rows_a(2 * n * n), b(2 * n, 0.0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            a[i * n + j] = 360360.0 / double(i + j + 1);
            rows_a[2 * (i * n + j)] = a[i * n + j];
            rows_a[2 * (i * n + j) + 1] = 0.0;
        }
    for (size_t i = 0; i < n; ++i) {
        float128 s = 0.0;
        for (size_t j = 0; j < n; ++j) s += float128(a[i * n + j]);
        s.extract(b[2 * i], b[2 * i + 1]);
    }

    // Binary64 LU with partial pivoting.
    lu = a;
    std::vector<size_t> piv(n);
    for (size_t k = 0; k < n; ++k) {
        size_t p = k;
        for (size_t i = k + 1; i < n; ++i)
            if (std::fabs(lu[i * n + k]) > std::fabs(lu[p * n + k])) p = i;
        piv[k] = p;
        for (size_t j = 0; j < n; ++j) std::swap(lu[k * n + j], lu[p * n + j]);
        for (size_t i = k + 1; i < n; ++i) {
            lu[i * n + k] /= lu[k * n + k];
            for (size_t j = k + 1; j < n; ++j) lu[i * n + j] -= lu[i * n + k] * lu[k * n + j];
        }
    }
    auto lu_solve = [&](std::vector<double> r) {
        for (size_t k = 0; k < n; ++k) std::swap(r[k], r[piv[k]]);
        for (size_t i = 0; i < n; ++i)
            for (size_t k = 0; k < i; ++k) r[i] -= lu[i * n + k] * r[k];
        for (size_t i = n; i-- > 0;) {
            for (size_t k = i + 1; k < n; ++k) r[i] -= lu[i * n + k] * r[k];
            r[i] /= lu[i * n + i];
        }
        return r;
    };

    std::vector<double> x(2 * n, 0.0), minus_x(2 * n), r(2 * n);
    std::printf("step   max |x_i - 1|\n");
    for (int step = 0; step < 6; ++step) {
        // r = b + A (-x), every element the double-double fold.
        for (size_t i = 0; i < 2 * n; ++i) minus_x[i] = -x[i];
        r = b;
        ostrell_gemm(1, n, 1, n, rows_a.data(), n, minus_x.data(), 1, r.data(), 1);
        std::vector<double> r64(n);
        for (size_t i = 0; i < n; ++i) r64[i] = r[2 * i] + r[2 * i + 1];
        std::vector<double> d = lu_solve(r64);
        double err = 0.0;
        for (size_t i = 0; i < n; ++i) {
            float128 xi = float128(ostrell_from_hi_lo(x[2 * i], x[2 * i + 1])) + float128(d[i]);
            xi.extract(x[2 * i], x[2 * i + 1]);
            err = std::fmax(err, std::fabs(double(xi - float128(1.0))));
        }
        std::printf("%4d   %.3e\n", step, err);
    }
    return 0;
}
