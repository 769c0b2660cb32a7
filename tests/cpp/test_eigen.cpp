// Eigen's decompositions on float128 and complex128 matrices against exact
// references: small integer systems (rational solutions), singular values
// and eigenvalues with closed forms.
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <Eigen/SVD>

#include <gtest/gtest.h>

#include "ostrell_eigen.hpp"
#include "test_util.hpp"

namespace {

using ostrell::complex128;
using ostrell::float128;
using M = Eigen::Matrix<float128, Eigen::Dynamic, Eigen::Dynamic>;
using V = Eigen::Matrix<float128, Eigen::Dynamic, 1>;

double rel(float128 got, float128 want)
{
    return std::fabs(double((got - want) / want));
}

TEST(Eigen, DecompositionsAgreeWithExactReferences)
{
    M a(3, 3);
    a << 4, -2, 1, 3, 6, -4, 2, 1, 8;
    V b(3);
    b << 1, 1, 1;
    // Exact solution by Cramer's rule: det = 263; x = (71, 17, 13) / 263.
    const float128 x_exact[] = {float128(71) / 263, float128(17) / 263, float128(13) / 263};
    V x1 = a.partialPivLu().solve(b), x2 = a.householderQr().solve(b), x3 = a.fullPivLu().solve(b);
    for (int i = 0; i < 3; ++i) {
        EXPECT_LT(rel(x1(i), x_exact[i]), 1e-30) << i;
        EXPECT_LT(rel(x2(i), x_exact[i]), 1e-30) << i;
        EXPECT_LT(rel(x3(i), x_exact[i]), 1e-30) << i;
    }
    EXPECT_LT(rel(a.determinant(), float128(263)), 1e-30);
    // Cholesky of [[4, 2], [2, 5]] = L L^T with L = [[2, 0], [1, 2]].
    M s(2, 2);
    s << 4, 2, 2, 5;
    M l = s.llt().matrixL();
    EXPECT_TRUE(l(0, 0) == 2 && l(1, 0) == 1 && l(1, 1) == 2) << l(1, 1).to_string();
    // Singular values of [[3, 0], [4, 5]]: sqrt(45), sqrt(5).
    M t(2, 2);
    t << 3, 0, 4, 5;
    Eigen::JacobiSVD<M> svd(t, Eigen::ComputeFullU | Eigen::ComputeFullV);
    EXPECT_LT(rel(svd.singularValues()(0), sqrt(float128(45))), 1e-30);
    EXPECT_LT(rel(svd.singularValues()(1), sqrt(float128(5))), 1e-30);
    M back = svd.matrixU() * svd.singularValues().asDiagonal() * svd.matrixV().transpose();
    EXPECT_TRUE(back.isApprox(t));
    // Eigenvalues of the 3x3 second-difference matrix: 2 - sqrt2, 2, 2 + sqrt2.
    M d(3, 3);
    d << 2, -1, 0, -1, 2, -1, 0, -1, 2;
    Eigen::SelfAdjointEigenSolver<M> eig(d);
    EXPECT_LT(rel(eig.eigenvalues()(0), 2 - ostrell::sqrt2), 1e-30);
    EXPECT_LT(std::fabs(double(eig.eigenvalues()(1) - 2)), 1e-30);
    EXPECT_LT(rel(eig.eigenvalues()(2), 2 + ostrell::sqrt2), 1e-30);
    // isApprox at the type's precision, not exact equality nor binary64's.
    M near = a * (float128(1) + ostrell::ldexp(float128(1), -100));
    EXPECT_TRUE(near.isApprox(a));
    EXPECT_FALSE((a * (float128(1) + float128(1e-20))).isApprox(a));
}

TEST(Eigen, ComplexSolve)
{
    using CM = Eigen::Matrix<complex128, Eigen::Dynamic, Eigen::Dynamic>;
    CM a(2, 2);
    a << complex128(1.0, 2.0), complex128(0.0, 1.0), complex128(3.0, 0.0), complex128(1.0, -1.0);
    Eigen::Matrix<complex128, Eigen::Dynamic, 1> b(2), x;
    b << complex128(1.0, 0.0), complex128(0.0, 1.0);
    x = a.partialPivLu().solve(b);
    // Residual at the arithmetic's precision.
    Eigen::Matrix<complex128, Eigen::Dynamic, 1> r = a * x - b;
    EXPECT_LT(double(ostrell::abs(r(0))) + double(ostrell::abs(r(1))), 1e-30);
    x = a.householderQr().solve(b);
    r = a * x - b;
    EXPECT_LT(double(ostrell::abs(r(0))) + double(ostrell::abs(r(1))), 1e-30);
}

}  // namespace
