// ostrell_numpy.linalg: the dense linear algebra of ostrell_linalg.h on
// NumPy arrays of rows.  A matrix of double-double values is a float64 array
// of shape (..., m, n, 2) (the last axis: high part, low part); leading axes
// are a stack of matrices, broadcast as numpy.linalg does.  Errors follow
// numpy.linalg: LinAlgError for a singular or not positive definite matrix
// and for arrays that are not (stacks of) square matrices.  The work runs
// without the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "ostrell_linalg.h"
#include "row_arrays.hpp"

namespace py = pybind11;

namespace {

using row_arrays::f64_array;
using row_arrays::f64_in;
using shape_t = std::vector<py::ssize_t>;

[[noreturn]] void raise_linalg(const std::string& msg)
{
    py::object err = py::module_::import("numpy.linalg").attr("LinAlgError");
    PyErr_SetString(err.ptr(), msg.c_str());
    throw py::error_already_set();
}

shape_t shape_of(const py::array& a) { return shape_t(a.shape(), a.shape() + a.ndim()); }

py::tuple to_tuple(const shape_t& s)
{
    py::tuple t(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        t[i] = s[i];
    return t;
}

// At least one matrix of rows: (..., m, n, 2).
void require_matrices(const f64_in& a)
{
    if (a.ndim() < 1 || a.shape(a.ndim() - 1) != 2)
        throw py::value_error("arrays of double-double values need a last axis of length 2 (high, low)");
    if (a.ndim() < 3)
        raise_linalg(std::to_string(a.ndim() - 1) +
                     "-dimensional array given. Array must be at least two-dimensional");
}

void require_square(const f64_in& a)
{
    require_matrices(a);
    if (a.shape(a.ndim() - 3) != a.shape(a.ndim() - 2))
        raise_linalg("Last 2 dimensions of the array must be square");
}

std::size_t count(const shape_t& s, std::size_t core)
{
    std::size_t c = 1;
    for (std::size_t i = 0; i + core < s.size(); ++i)
        c *= static_cast<std::size_t>(s[i]);
    return c;
}

// a broadcast to the batch shape `batch` followed by its own last `core`
// axes, as a fresh C-contiguous array.
f64_in broadcast(const f64_in& a, const shape_t& batch, std::size_t core)
{
    shape_t full = batch;
    for (std::size_t i = a.ndim() - core; i < static_cast<std::size_t>(a.ndim()); ++i)
        full.push_back(a.shape(i));
    py::object np = py::module_::import("numpy");
    return f64_in(np.attr("ascontiguousarray")(np.attr("broadcast_to")(a, to_tuple(full))));
}

shape_t batch_of(const f64_in& a, std::size_t core)
{
    shape_t s = shape_of(a);
    s.resize(s.size() - core);
    return s;
}

shape_t broadcast_batch(const f64_in& a, std::size_t core_a, const f64_in& b, std::size_t core_b)
{
    py::object np = py::module_::import("numpy");
    shape_t sa = batch_of(a, core_a), sb = batch_of(b, core_b);
    py::tuple r = np.attr("broadcast_shapes")(to_tuple(sa), to_tuple(sb));
    shape_t out;
    for (auto v : r)
        out.push_back(v.cast<py::ssize_t>());
    return out;
}

f64_array new_array(shape_t s) { return f64_array(s); }

f64_array copy_of(const f64_in& a)
{
    f64_array out(shape_of(a));
    if (a.size())
        std::memcpy(out.mutable_data(), a.data(), sizeof(double) * a.size());
    return out;
}

// a @ b on stacks: (..., m, k, 2) @ (..., k, n, 2); a (k, 2) vector on
// either side as numpy.matmul treats 1-D operands.
f64_array matmul(const f64_in& a_in, const f64_in& b_in)
{
    f64_in a = a_in, b = b_in;
    bool avec = a.ndim() == 2 && a.shape(1) == 2, bvec = b.ndim() == 2 && b.shape(1) == 2;
    if (avec) a = f64_in(a.attr("reshape")(1, a.shape(0), 2));
    if (bvec) b = f64_in(b.attr("reshape")(b.shape(0), 1, 2));
    require_matrices(a);
    require_matrices(b);
    std::size_t m = a.shape(a.ndim() - 3), k = a.shape(a.ndim() - 2), n = b.shape(b.ndim() - 2);
    if (static_cast<std::size_t>(b.shape(b.ndim() - 3)) != k)
        throw py::value_error("matmul: the operands' inner dimensions differ (" + std::to_string(k) +
                              " and " + std::to_string(b.shape(b.ndim() - 3)) + ")");
    shape_t batch = broadcast_batch(a, 3, b, 3);
    f64_in ab = broadcast(a, batch, 3), bb = broadcast(b, batch, 3);
    shape_t os = batch;
    os.push_back(m);
    os.push_back(n);
    os.push_back(2);
    f64_array out = new_array(os);
    std::size_t stack = count(os, 3);
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < stack; ++s)
            ostrell_gemm(0, m, n, k, ab.data() + 2 * s * m * k, k, bb.data() + 2 * s * k * n, n,
                         out.mutable_data() + 2 * s * m * n, n);
    }
    if (avec && bvec) {
        shape_t r = batch;
        r.push_back(2);
        return f64_array(out.attr("reshape")(to_tuple(r)));
    }
    if (avec) {
        shape_t r = batch;
        r.push_back(n);
        r.push_back(2);
        return f64_array(out.attr("reshape")(to_tuple(r)));
    }
    if (bvec) {
        shape_t r = batch;
        r.push_back(m);
        r.push_back(2);
        return f64_array(out.attr("reshape")(to_tuple(r)));
    }
    return out;
}

f64_array solve(const f64_in& a_in, const f64_in& b_in)
{
    require_square(a_in);
    std::size_t n = a_in.shape(a_in.ndim() - 2);
    // b of shape (n, 2) is one vector (numpy 2's rule for a 1-D b), else a
    // stack of n x k matrices.
    bool vec = b_in.ndim() == 2;
    if (b_in.ndim() < 2 || b_in.shape(b_in.ndim() - 1) != 2)
        throw py::value_error("solve: b needs a last axis of length 2 (high, low)");
    std::size_t bcore = vec ? 2 : 3;
    if (static_cast<std::size_t>(b_in.shape(b_in.ndim() - bcore)) != n)
        throw py::value_error("solve: b has " + std::to_string(b_in.shape(b_in.ndim() - bcore)) +
                              " rows, the matrix " + std::to_string(n));
    shape_t batch = broadcast_batch(a_in, 3, b_in, bcore);
    f64_in a = broadcast(a_in, batch, 3), b = broadcast(b_in, batch, bcore);
    std::size_t k = vec ? 1 : b.shape(b.ndim() - 2), stack = count(shape_of(a), 3);
    f64_array x = copy_of(b);
    std::vector<double> lu(2 * n * n);
    int rc = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < stack && rc == 0; ++s) {
            if (n) std::memcpy(lu.data(), a.data() + 2 * s * n * n, sizeof(double) * 2 * n * n);
            rc = ostrell_solve(n, k, lu.data(), n, x.mutable_data() + 2 * s * n * k, k);
        }
    }
    if (rc == OSTRELL_LINALG_SINGULAR) raise_linalg("Singular matrix");
    if (rc != 0) throw std::bad_alloc();
    return x;
}

f64_array inv(const f64_in& a)
{
    require_square(a);
    std::size_t n = a.shape(a.ndim() - 2), stack = count(shape_of(a), 3);
    f64_array out = copy_of(a);
    int rc = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < stack && rc == 0; ++s)
            rc = ostrell_inv(n, out.mutable_data() + 2 * s * n * n, n);
    }
    if (rc == OSTRELL_LINALG_SINGULAR) raise_linalg("Singular matrix");
    if (rc != 0) throw std::bad_alloc();
    return out;
}

f64_array det(const f64_in& a)
{
    require_square(a);
    std::size_t n = a.shape(a.ndim() - 2), stack = count(shape_of(a), 3);
    shape_t os = batch_of(a, 3);
    os.push_back(2);
    f64_array out = new_array(os);
    int rc = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < stack && rc == 0; ++s)
            rc = ostrell_det(n, a.data() + 2 * s * n * n, n, out.mutable_data() + 2 * s);
    }
    if (rc != 0) throw std::bad_alloc();
    return out;
}

f64_array cholesky(const f64_in& a, bool upper)
{
    require_square(a);
    std::size_t n = a.shape(a.ndim() - 2), stack = count(shape_of(a), 3);
    f64_array out = copy_of(a);
    int rc = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < stack && rc == 0; ++s) {
            double* p = out.mutable_data() + 2 * s * n * n;
            rc = ostrell_cholesky(n, p, n);
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = i + 1; j < n; ++j) {
                    if (upper) {  // L^T: the factor moved above the diagonal
                        p[2 * (i * n + j)] = p[2 * (j * n + i)];
                        p[2 * (i * n + j) + 1] = p[2 * (j * n + i) + 1];
                        p[2 * (j * n + i)] = p[2 * (j * n + i) + 1] = 0.0;
                    } else {
                        p[2 * (i * n + j)] = p[2 * (i * n + j) + 1] = 0.0;
                    }
                }
        }
    }
    if (rc == OSTRELL_LINALG_NOT_PD) raise_linalg("Matrix is not positive definite");
    if (rc != 0) throw std::bad_alloc();
    return out;
}

py::object qr(const f64_in& a, const std::string& mode)
{
    require_matrices(a);
    if (mode != "reduced" && mode != "r")
        throw py::value_error("qr: mode must be 'reduced' or 'r' (got '" + mode + "')");
    std::size_t m = a.shape(a.ndim() - 3), n = a.shape(a.ndim() - 2), k = m < n ? m : n;
    std::size_t stack = count(shape_of(a), 3);
    shape_t qs = batch_of(a, 3), rs = qs;
    qs.insert(qs.end(), {py::ssize_t(m), py::ssize_t(k), 2});
    rs.insert(rs.end(), {py::ssize_t(k), py::ssize_t(n), 2});
    f64_array q = new_array(qs), r = new_array(rs);
    {
        py::gil_scoped_release release;
        std::vector<double> w(2 * m * n), tau(2 * k);
        for (std::size_t s = 0; s < stack; ++s) {
            if (m != 0 && n != 0) std::memcpy(w.data(), a.data() + 2 * s * m * n, sizeof(double) * 2 * m * n);
            ostrell_qr(m, n, w.data(), n, tau.data());
            double* rp = r.mutable_data() + 2 * s * k * n;
            for (std::size_t i = 0; i < k; ++i)
                for (std::size_t j = 0; j < n; ++j) {
                    rp[2 * (i * n + j)] = j >= i ? w[2 * (i * n + j)] : 0.0;
                    rp[2 * (i * n + j) + 1] = j >= i ? w[2 * (i * n + j) + 1] : 0.0;
                }
            if (mode == "reduced")
                ostrell_qr_q(m, n, w.data(), n, tau.data(), q.mutable_data() + 2 * s * m * k, k);
        }
    }
    if (mode == "r") return std::move(r);
    return py::make_tuple(q, r);
}

py::tuple lstsq(const f64_in& a, const f64_in& b_in, py::object rcond)
{
    (void)rcond;
    if (a.ndim() != 3 || a.shape(2) != 2)
        raise_linalg(std::to_string(a.ndim() - 1) + "-dimensional array given. Array must be two-dimensional");
    std::size_t m = a.shape(0), n = a.shape(1);
    bool vec = b_in.ndim() == 2;
    if (!(b_in.ndim() == 2 || b_in.ndim() == 3) || b_in.shape(b_in.ndim() - 1) != 2)
        throw py::value_error("lstsq: b must be (M, 2) or (M, K, 2)");
    if (static_cast<std::size_t>(b_in.shape(0)) != m)
        raise_linalg("Incompatible dimensions");
    if (m < n)
        raise_linalg("lstsq: fewer equations than unknowns (underdetermined) is not supported");
    std::size_t k = vec ? 1 : b_in.shape(1);
    f64_array w = copy_of(a), qb = copy_of(b_in);
    int rc;
    std::vector<double> res(2 * k, 0.0);
    {
        py::gil_scoped_release release;
        rc = ostrell_lstsq(m, n, k, w.mutable_data(), n, qb.mutable_data(), k);
        // The squared residual norms: the rows past n of Q^T b.
        for (std::size_t j = 0; j < k && rc == 0; ++j) {
            ostrell_t acc = _mm_setzero_pd();
            for (std::size_t i = n; i < m; ++i) {
                ostrell_t v = _mm_loadu_pd(qb.data() + 2 * (i * k + j));
                acc = ostrell_add(acc, ostrell_mul(v, v));
            }
            _mm_storeu_pd(&res[2 * j], acc);
        }
    }
    if (rc == OSTRELL_LINALG_SINGULAR)
        raise_linalg("lstsq: the matrix does not have full column rank (not supported)");
    if (rc != 0) throw std::bad_alloc();
    shape_t xs = vec ? shape_t{py::ssize_t(n), 2} : shape_t{py::ssize_t(n), py::ssize_t(k), 2};
    f64_array x = new_array(xs);
    if (n != 0 && k != 0) std::memcpy(x.mutable_data(), qb.data(), sizeof(double) * 2 * n * k);
    f64_array residuals = new_array(m > n ? shape_t{py::ssize_t(k), 2} : shape_t{0, 2});
    if (m > n) std::memcpy(residuals.mutable_data(), res.data(), sizeof(double) * 2 * k);
    return py::make_tuple(x, residuals, n, py::none());
}

// Arrays of the companion's Float128DType (when the module has the dtype)
// are taken through their (..., 2) float64 view of rows, and the results
// given back as Float128DType arrays: nothing is converted through float64.
// A call mixes no dtype arrays with rows arrays.
struct Operands {
    bool dtype = false;
    py::object module;
};

bool is_dtype_array(const py::object& module, const py::handle& x)
{
    py::object cls = py::getattr(module, "Float128DType", py::none());
    return !cls.is_none() && py::isinstance<py::array>(x) &&
           py::isinstance(x.attr("dtype"), cls);
}

Operands classify(std::initializer_list<py::handle> args)
{
    Operands o;
    o.module = py::module_::import("ostrell_numpy");
    int d = 0;
    for (auto a : args) d += is_dtype_array(o.module, a);
    if (d != 0 && d != static_cast<int>(args.size()))
        throw py::type_error("linalg: Float128DType arrays and float64 arrays of rows cannot be mixed "
                             "(convert with ostrell_numpy.as_float128 or as_rows)");
    o.dtype = d != 0;
    return o;
}

f64_in rows_in(const Operands& o, const py::object& x)
{
    return py::cast<f64_in>(o.dtype ? o.module.attr("as_rows")(x) : x);
}

py::object out(const Operands& o, py::object rows)
{
    return o.dtype ? o.module.attr("as_float128")(rows) : rows;
}

} // namespace

void ostrell_numpy_add_linalg(py::module_& m)
{
    py::module_ la = m.def_submodule(
        "linalg", "Dense linear algebra on (..., m, n, 2) float64 arrays of double-double rows");
    la.def("matmul", [](py::object a, py::object b) { Operands o = classify({a, b}); return out(o, matmul(rows_in(o, a), rows_in(o, b))); }, py::arg("a"), py::arg("b"),
           "a @ b on stacks of matrices of rows: each element the left fold of "
           "add(acc, mul(a_ik, b_kj)) in increasing k from +0");
    la.def("solve", [](py::object a, py::object b) { Operands o = classify({a, b}); return out(o, solve(rows_in(o, a), rows_in(o, b))); }, py::arg("a"), py::arg("b"),
           "x with a @ x = b (LU with partial pivoting); b (..., n, 2) one vector, "
           "(..., n, k, 2) a matrix");
    la.def("inv", [](py::object a) { Operands o = classify({a}); return out(o, inv(rows_in(o, a))); }, py::arg("a"), "inverse of each square matrix");
    la.def("det", [](py::object a) { Operands o = classify({a}); return out(o, det(rows_in(o, a))); }, py::arg("a"), "determinant of each square matrix, as (..., 2) rows");
    la.def("cholesky", [](py::object a, bool upper) { Operands o = classify({a}); return out(o, cholesky(rows_in(o, a), upper)); }, py::arg("a"), py::kw_only(), py::arg("upper") = false,
           "lower Cholesky factor L (a = L L^T; only the lower triangle is read), "
           "or L^T with upper=True");
    la.def("qr", [](py::object a, const std::string& mode) -> py::object {
               Operands o = classify({a});
               py::object r = qr(rows_in(o, a), mode);
               if (mode == "r") return out(o, r);
               py::tuple t = r;
               return py::make_tuple(out(o, t[0]), out(o, t[1]));
           }, py::arg("a"), py::arg("mode") = "reduced",
           "Householder QR: (q, r) for mode='reduced', r for mode='r'");
    la.def("lstsq", [](py::object a, py::object b, py::object rcond) {
               Operands o = classify({a, b});
               py::tuple t = lstsq(rows_in(o, a), rows_in(o, b), rcond);
               return py::make_tuple(out(o, t[0]), out(o, t[1]), t[2], t[3]);
           }, py::arg("a"), py::arg("b"), py::arg("rcond") = py::none(),
           "least squares for a full-column-rank (M, N, 2) a with M >= N, by Householder QR: "
           "(x, residuals, rank, None); singular values are not computed");
}
