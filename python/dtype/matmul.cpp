// matmul.cpp: the dtype's loops of the generalised ufuncs np.matmul
// ("(n?,k),(k,m?)->(n?,m?)", so also a @ b) and np.vecdot ("(n),(n)->()"),
// on ostrell_gemm.  Element (i, j) of a product is the left fold over k of
// add(acc, mul(a_ik, b_kj)) from +0, as ostrell_linalg.h defines it, for
// every layout: operands whose core axes are not C-contiguous rows
// (transposed, strided, broadcast, unaligned) are gathered into contiguous
// buffers first, which changes no bit.  The loops need no Python API, so
// NumPy runs them without the GIL.  They raise no floating-point warnings
// (the library reports none; NaN and infinity are values here): the status
// flags the arithmetic sets are cleared before returning, as NumPy checks
// them after a generalised ufunc's loop whatever the method's flags.
#include "dtype/numpy_c.hpp"

#include <cfenv>
#include <cstdint>
#include <string>
#include <vector>

#include "ostrell_linalg.h"

namespace ostrell_dtype {

namespace {

bool rows_contiguous(const char* p, npy_intp row_stride, npy_intp col_stride, npy_intp cols)
{
    return col_stride == row_bytes && (row_stride == cols * row_bytes || cols == 0)
           && reinterpret_cast<std::uintptr_t>(p) % alignof(double) == 0;
}

void gather(const char* p, npy_intp rows, npy_intp cols, npy_intp rs, npy_intp cs, double* out)
{
    for (npy_intp i = 0; i < rows; ++i)
        for (npy_intp j = 0; j < cols; ++j)
            std::memcpy(out + 2 * (i * cols + j), p + i * rs + j * cs, row_bytes);
}

// An operand's (rows, cols) core as contiguous rows: its own memory when it
// already is, else a copy gathered into buf.
const double* contiguous_rows(const char* p, npy_intp rows, npy_intp cols, npy_intp rs, npy_intp cs,
                              std::vector<double>& buf)
{
    if (rows_contiguous(p, rs, cs, cols))
        return reinterpret_cast<const double*>(p);
    buf.resize(static_cast<size_t>(2 * rows * cols));
    gather(p, rows, cols, rs, cs, buf.data());
    return buf.data();
}

// dimensions: outer count, n, k, m; steps: the three operands' outer
// strides, then a (n, k), b (k, m), c (n, m) core strides.
int matmul_loop(PyArrayMethod_Context*, char* const data[], npy_intp const dimensions[],
                npy_intp const steps[], NpyAuxData*)
{
    const npy_intp outer = dimensions[0], n = dimensions[1], k = dimensions[2], m = dimensions[3];
    std::vector<double> abuf, bbuf, cbuf;
    for (npy_intp s = 0; s < outer; ++s) {
        const char* a = data[0] + s * steps[0];
        const char* b = data[1] + s * steps[1];
        char* c = data[2] + s * steps[2];
        const double* ap = contiguous_rows(a, n, k, steps[3], steps[4], abuf);
        const double* bp = contiguous_rows(b, k, m, steps[5], steps[6], bbuf);
        double* cp;
        // The output may alias an input (out=a): always a separate buffer then.
        bool direct = rows_contiguous(c, steps[7], steps[8], m) && c != a && c != b;
        if (direct) {
            cp = reinterpret_cast<double*>(c);
        } else {
            cbuf.resize(2 * n * m);
            cp = cbuf.data();
        }
        ostrell_gemm(0, static_cast<size_t>(n), static_cast<size_t>(m), static_cast<size_t>(k), ap,
                     static_cast<size_t>(k), bp, static_cast<size_t>(m), cp, static_cast<size_t>(m));
        if (!direct)
            for (npy_intp i = 0; i < n; ++i)
                for (npy_intp j = 0; j < m; ++j)
                    std::memcpy(c + i * steps[7] + j * steps[8], cp + 2 * (i * m + j), row_bytes);
    }
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}

// dimensions: outer count, n; steps: three outer strides, then a and b's.
int vecdot_loop(PyArrayMethod_Context*, char* const data[], npy_intp const dimensions[],
                npy_intp const steps[], NpyAuxData*)
{
    for (npy_intp s = 0; s < dimensions[0]; ++s) {
        const char* a = data[0] + s * steps[0];
        const char* b = data[1] + s * steps[1];
        ostrell_t acc = _mm_setzero_pd();
        for (npy_intp i = 0; i < dimensions[1]; ++i)
            acc = ostrell_add(acc, ostrell_mul(load(a + i * steps[3]), load(b + i * steps[4])));
        store(data[2] + s * steps[2], acc);
    }
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}

int add_loop(PyObject* numpy, const char* ufunc_name, PyArrayMethod_StridedLoop* loop)
{
    PyObject* ufunc = PyObject_GetAttrString(numpy, ufunc_name);
    if (!ufunc)
        return -1;
    PyArray_DTypeMeta* dtypes[3] = {&Float128DType, &Float128DType, &Float128DType};
    PyType_Slot slots[] = {
        {NPY_METH_strided_loop, reinterpret_cast<void*>(loop)},
        {NPY_METH_unaligned_strided_loop, reinterpret_cast<void*>(loop)},
        {0, nullptr},
    };
    std::string name = std::string("float128_") + ufunc_name;
    PyArrayMethod_Spec method = {};
    method.name = name.c_str();
    method.nin = 2;
    method.nout = 1;
    method.casting = NPY_NO_CASTING;
    method.flags = static_cast<NPY_ARRAYMETHOD_FLAGS>(NPY_METH_NO_FLOATINGPOINT_ERRORS | NPY_METH_SUPPORTS_UNALIGNED);
    method.dtypes = dtypes;
    method.slots = slots;
    int r = PyUFunc_AddLoopFromSpec(ufunc, &method);
    Py_DECREF(ufunc);
    return r;
}

} // namespace

int register_linalg_loops()
{
    PyObject* numpy = PyImport_ImportModule("numpy");
    if (!numpy)
        return -1;
    int r = add_loop(numpy, "matmul", matmul_loop);
    if (r == 0)
        r = add_loop(numpy, "vecdot", vecdot_loop);
    Py_DECREF(numpy);
    return r;
}

} // namespace ostrell_dtype
