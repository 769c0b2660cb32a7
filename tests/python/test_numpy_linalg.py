"""ostrell_numpy.linalg: matmul against the scalar fold of Float128 objects
bit for bit; solve, inv, det, cholesky, qr and lstsq against exact Fraction
arithmetic; numpy.linalg's shapes and errors."""
from fractions import Fraction

import numpy as np
import pytest

import ostrell_numpy as onp

la = onp.linalg


def rows(a):
    """float64 values as exact double-double rows (v, 0)."""
    a = np.asarray(a, dtype=np.float64)
    return onp.from_float64(a.ravel()).reshape(a.shape + (2,))


def random_rows(shape, seed):
    rng = np.random.default_rng(seed)
    hi = rng.uniform(-1, 1, shape)
    return np.stack([hi, hi * rng.uniform(-1, 1, shape) * 2.0**-54], axis=-1)


def frac(r):
    """Exact value of each row as a nested list of Fractions."""
    r = np.asarray(r)
    if r.ndim == 1:
        return Fraction(float(r[0])) + Fraction(float(r[1]))
    return [frac(x) for x in r]


def fmatmul(a, b):
    return [[sum((a[i][k] * b[k][j] for k in range(len(b))), Fraction(0)) for j in range(len(b[0]))]
            for i in range(len(a))]


def max_abs(m):
    return max(abs(x) for row in m for x in row)


def test_matmul_is_the_scalar_fold_bit_for_bit():
    a, b = random_rows((2, 5, 7), 1), random_rows((7, 3), 2)
    b[1, 2] = (np.inf, 0.0)   # an element through the scalar path
    got = la.matmul(a, b)
    assert got.shape == (2, 5, 3, 2)
    fa, fb = onp.from_rows(a.reshape(-1, 2)), onp.from_rows(b.reshape(-1, 2))
    for s in range(2):
        for i in range(5):
            for j in range(3):
                acc = onp.from_rows(np.zeros((1, 2)))[0]
                for k in range(7):
                    acc = acc + fa[(s * 5 + i) * 7 + k] * fb[k * 3 + j]
                want = onp.to_rows([acc])[0]
                g = got[s, i, j]
                assert (np.isnan(g) == np.isnan(want)).all()
                assert ((g == want) | np.isnan(want)).all(), (s, i, j, g.tolist(), want.tolist())
    # Transposed (non-contiguous) operands and vectors as numpy.matmul treats them.
    at = np.ascontiguousarray(a[0].transpose(1, 0, 2)).transpose(1, 0, 2)
    np.testing.assert_array_equal(la.matmul(at, b), got[0])
    v = random_rows((7,), 3)
    assert la.matmul(a, v).shape == (2, 5, 2)
    assert la.matmul(v, b).shape == (3, 2)
    assert la.matmul(v, v).shape == (2,)
    assert la.matmul(np.zeros((0, 4, 2)), np.zeros((4, 2, 2))).shape == (0, 2, 2)
    with pytest.raises(ValueError):
        la.matmul(a, random_rows((6, 3), 4))


def test_solve_inv_det_against_exact_fractions():
    a = rows([[4, -2, 1], [3, 6, -4], [2, 1, 8]])
    b = rows([1, 1, 1])
    x = la.solve(a, b)
    assert x.shape == (3, 2)
    exact = [Fraction(71, 263), Fraction(17, 263), Fraction(13, 263)]
    for g, e in zip(frac(x), exact):
        assert abs(g - e) <= abs(e) * Fraction(1, 10**31)
    d = frac(la.det(a))
    assert abs(d - 263) <= Fraction(263, 10**31)
    ai = frac(la.inv(a))
    prod = fmatmul(frac(a), ai)
    assert max_abs([[prod[i][j] - (i == j) for j in range(3)] for i in range(3)]) < Fraction(1, 10**30)
    # Residual on a larger random system, exactly: ||Ax - b|| / (||A|| ||x||).
    n = 40
    a, b = random_rows((n, n), 5), random_rows((n, 2), 6)
    x = la.solve(a, b)
    fa, fx, fb = frac(a), frac(x), frac(b)
    r = fmatmul(fa, fx)
    res = max_abs([[r[i][j] - fb[i][j] for j in range(2)] for i in range(n)])
    norm_a = max(sum(abs(v) for v in row) for row in fa)
    assert res / (norm_a * max_abs(fx)) < Fraction(1, 10**30)


def test_stacks_broadcast_as_numpy_linalg():
    a = random_rows((3, 4, 4), 7) + rows(4 * np.eye(4))
    b = random_rows((4,), 8)
    x = la.solve(a, b)
    assert x.shape == (3, 4, 2)
    for s in range(3):
        np.testing.assert_array_equal(x[s], la.solve(a[s], b))
    assert la.solve(a, random_rows((1, 4, 2), 9)).shape == (3, 4, 2, 2)
    assert la.inv(a).shape == a.shape
    assert la.det(a).shape == (3, 2)
    np.testing.assert_array_equal(la.det(np.zeros((0, 0, 2))), [1.0, 0.0])


def test_cholesky_qr_lstsq_against_exact_fractions():
    m = random_rows((6, 6), 10)
    spd = la.matmul(m, m.transpose(1, 0, 2)) + rows(6 * np.eye(6))
    low = la.cholesky(spd)
    fl = frac(low)
    assert all(fl[i][j] == 0 for i in range(6) for j in range(i + 1, 6))
    lt = [[fl[j][i] for j in range(6)] for i in range(6)]
    prod, fs = fmatmul(fl, lt), frac(spd)
    assert max_abs([[prod[i][j] - fs[i][j] for j in range(6)] for i in range(6)]) < Fraction(1, 10**30)
    np.testing.assert_array_equal(la.cholesky(spd, upper=True), low.transpose(1, 0, 2))

    a = random_rows((7, 4), 11)
    q, r = la.qr(a)
    assert q.shape == (7, 4, 2) and r.shape == (4, 4, 2)
    np.testing.assert_array_equal(la.qr(a, mode="r"), r)
    fq, fr, fa = frac(q), frac(r), frac(a)
    qr = fmatmul(fq, fr)
    assert max_abs([[qr[i][j] - fa[i][j] for j in range(4)] for i in range(7)]) < Fraction(1, 10**30)
    qtq = fmatmul([list(c) for c in zip(*fq)], fq)
    assert max_abs([[qtq[i][j] - (i == j) for j in range(4)] for i in range(4)]) < Fraction(1, 10**30)

    b = random_rows((7,), 12)
    x, residuals, rank, s = la.lstsq(a, b)
    assert x.shape == (4, 2) and residuals.shape == (1, 2) and rank == 4 and s is None
    # Exact least squares from the normal equations A^T A x = A^T b.
    at = [list(c) for c in zip(*fa)]
    ata, atb = fmatmul(at, fa), fmatmul(at, [[v] for v in frac(b)])
    exact = la_exact_solve(ata, [v[0] for v in atb])
    for g, e in zip(frac(x), exact):
        assert abs(g - e) <= abs(e) * Fraction(1, 10**29)
    rvec = [sum(fa[i][k] * exact[k] for k in range(4)) - frac(b)[i] for i in range(7)]
    want = sum(v * v for v in rvec)
    assert abs(frac(residuals[0]) - want) <= want * Fraction(1, 10**28)


def la_exact_solve(a, b):
    n = len(a)
    m = [list(row) + [b[i]] for i, row in enumerate(a)]
    for k in range(n):
        p = next(i for i in range(k, n) if m[i][k] != 0)
        m[k], m[p] = m[p], m[k]
        for i in range(n):
            if i != k:
                f = m[i][k] / m[k][k]
                m[i] = [x - f * y for x, y in zip(m[i], m[k])]
    return [m[i][n] / m[i][i] for i in range(n)]


def test_errors_follow_numpy_linalg():
    sing = rows([[1, 2], [2, 4]])
    with pytest.raises(np.linalg.LinAlgError, match="Singular"):
        la.solve(sing, rows([1, 1]))
    with pytest.raises(np.linalg.LinAlgError, match="Singular"):
        la.inv(sing)
    assert la.det(sing).tolist() == [0.0, 0.0]
    with pytest.raises(np.linalg.LinAlgError, match="positive definite"):
        la.cholesky(rows([[1, 2], [2, 1]]))
    with pytest.raises(np.linalg.LinAlgError, match="square"):
        la.inv(rows(np.ones((2, 3))))
    with pytest.raises(np.linalg.LinAlgError, match="two-dimensional"):
        la.det(rows([1.0, 2.0]))
    with pytest.raises(ValueError):
        la.inv(np.ones((2, 2, 3)))  # no (high, low) last axis
    with pytest.raises(ValueError):
        la.solve(rows(np.eye(3)), rows([1.0, 2.0]))
    with pytest.raises(np.linalg.LinAlgError):
        la.lstsq(rows(np.zeros((4, 2))), rows(np.ones(4)))  # rank deficient
