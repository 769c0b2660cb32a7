"""ostrell_numpy.linalg side by side with its peers, every figure from one run.

Speed: ns per multiply-add of the n x n product (ostrell_numpy.linalg.matmul
on (n, n, 2) rows) against NumPy's float64 matmul timed in the same run, and
against xprec's ddouble and numpy-quaddtype's QuadPrecision a @ b when those
packages are installed; solve and the other solvers as a fraction of the
product's time.

Accuracy: forward errors of solve on Hilbert matrices and residuals on random
ones, against mpmath at 300 bits (float64's numpy.linalg.solve beside).

    pip install .  [xprec numpy-quaddtype]
    python benchmarks/run_linalg.py [--quick]
"""
import math
import sys
import time

import mpmath
import numpy as np

import ostrell_numpy as onp
from run import cpu_model  # benchmarks/run.py, beside this script
from run_numpy import header

la = onp.linalg


def best(f, repeat):
    t = math.inf
    for _ in range(repeat):
        t0 = time.perf_counter()
        f()
        t = min(t, time.perf_counter() - t0)
    return t


def random_rows(shape, seed):
    rng = np.random.default_rng(seed)
    hi = rng.uniform(-1, 1, shape)
    return np.stack([hi, hi * rng.uniform(-1, 1, shape) * 2.0**-54], axis=-1)


def peers():
    """(name, make(a_hi, a_lo) -> array, matmul) of the installed peers."""
    out = []
    try:
        import xprec  # noqa: F401
        dd = np.dtype("ddouble")

        def make_xprec(r):
            return r[..., 0].astype(dd) + r[..., 1].astype(dd)
        out.append(("xprec ddouble", make_xprec))
    except ImportError:
        pass
    try:
        from numpy_quaddtype import QuadPrecDType

        def make_quad(r):
            q = QuadPrecDType()
            return r[..., 0].astype(q) + r[..., 1].astype(q)
        out.append(("numpy-quaddtype", make_quad))
    except ImportError:
        pass
    return out


def speed(sizes, repeat):
    print(f"{'product':34} {'n':>5} {'seconds':>10} {'ns/madd':>10} {'vs float64':>11}")
    t_prod = {}
    for n in sizes:
        a, b = random_rows((n, n), 1), random_rows((n, n), 2)
        a64, b64 = a[..., 0].copy(), b[..., 0].copy()
        t64 = best(lambda: a64 @ b64, repeat)
        t = best(lambda: la.matmul(a, b), repeat)
        t_prod[n] = t
        madds = float(n) ** 3
        print(f"{'float64 numpy matmul (BLAS)':34} {n:5} {t64:10.4f} {t64 / madds * 1e9:10.3f} {1.0:11.1f}")
        print(f"{'ostrell_numpy.linalg.matmul':34} {n:5} {t:10.4f} {t / madds * 1e9:10.3f} {t / t64:11.1f}")
        if hasattr(onp, "as_float128"):
            fa, fb = onp.as_float128(a), onp.as_float128(b)
            td = best(lambda: fa @ fb, repeat)
            print(f"{'ostrell_numpy Float128DType a @ b':34} {n:5} {td:10.4f} {td / madds * 1e9:10.3f} {td / t64:11.1f}")
        for name, make in peers():
            pa, pb = make(a), make(b)
            tp = best(lambda: pa @ pb, max(1, repeat // 4))
            print(f"{name + ' a @ b':34} {n:5} {tp:10.4f} {tp / madds * 1e9:10.3f} {tp / t64:11.1f}"
                  f"   (ostrell {tp / t:.1f}x faster)")
    n = max(sizes)
    a, b = random_rows((n, n), 3), random_rows((n,), 4)
    spd = la.matmul(a, a.transpose(1, 0, 2))
    spd[np.arange(n), np.arange(n), 0] += n
    print(f"\n{'solver':34} {'n':>5} {'seconds':>10} {'/ product':>10}")
    for name, f in [("solve, one right-hand side", lambda: la.solve(a, b)),
                    ("det", lambda: la.det(a)),
                    ("cholesky", lambda: la.cholesky(spd)),
                    ("inv", lambda: la.inv(a))]:
        t = best(f, max(1, repeat // 2))
        print(f"{name:34} {n:5} {t:10.4f} {t / t_prod[n]:10.3f}")


def mp_matrix(r):
    return mpmath.matrix([[mpmath.mpf(float(x[0])) + mpmath.mpf(float(x[1])) for x in row] for row in r])


def rel_err(x_rows, ref):
    num = max(abs(mpmath.mpf(float(x_rows[i][0])) + mpmath.mpf(float(x_rows[i][1])) - ref[i])
              for i in range(len(ref)))
    return float(num / max(abs(v) for v in ref))


def accuracy():
    mpmath.mp.prec = 300
    print(f"\n{'accuracy (vs mpmath, 300 bits)':34} {'n':>5} {'ostrell':>12} {'float64':>12}")
    for n in (10, 15, 20):
        h64 = np.array([[1.0 / (i + j + 1) for j in range(n)] for i in range(n)])
        # The Hilbert matrix to double-double precision: hi + lo of 1/(i+j+1).
        hq = onp.div(onp.from_float64(np.ones(n * n)),
                     onp.from_float64(np.add.outer(np.arange(n), np.arange(n)).ravel() + 1.0))
        h = hq.reshape(n, n, 2)
        b = onp.from_float64(np.ones(n))
        ref = mpmath.lu_solve(mp_matrix(h), mpmath.matrix([1] * n))
        x = la.solve(h, b)
        ref64 = mpmath.lu_solve(mpmath.matrix(h64.tolist()), mpmath.matrix([1] * n))
        x64 = np.linalg.solve(h64, np.ones(n))
        e64 = float(max(abs(mpmath.mpf(float(x64[i])) - ref64[i]) for i in range(n))
                    / max(abs(v) for v in ref64))
        print(f"{'Hilbert, forward error of solve':34} {n:5} {rel_err(x, ref):12.2e} {e64:12.2e}")
    for n in (50, 100):
        a, b = random_rows((n, n), 10 + n), random_rows((n,), 20 + n)
        x = la.solve(a, b)
        ma, mx, mb = mp_matrix(a), mpmath.matrix([mpmath.mpf(float(v[0])) + mpmath.mpf(float(v[1])) for v in x]), \
            mpmath.matrix([mpmath.mpf(float(v[0])) + mpmath.mpf(float(v[1])) for v in b])
        r = ma * mx - mb
        res = mpmath.norm(r, mpmath.inf) / (mpmath.mnorm(ma, mpmath.inf) * mpmath.norm(mx, mpmath.inf))
        a64, b64 = a[..., 0], b[..., 0]
        x64 = np.linalg.solve(a64, b64)
        m64 = mpmath.matrix(a64.tolist())
        r64 = m64 * mpmath.matrix(x64.tolist()) - mpmath.matrix(b64.tolist())
        res64 = mpmath.norm(r64, mpmath.inf) / (mpmath.mnorm(m64, mpmath.inf) * mpmath.norm(mpmath.matrix(x64.tolist()), mpmath.inf))
        print(f"{'random, ||Ax-b|| / (||A|| ||x||)':34} {n:5} {float(res):12.2e} {float(res64):12.2e}")


def main():
    quick = "--quick" in sys.argv
    header()
    speed([100] if quick else [200, 500], 3 if quick else 11)
    accuracy()


if __name__ == "__main__":
    main()
