// ufuncs.cpp: NumPy ufunc loops of the dtype, all registered from one table
// (ufunc name -> batch function or scalar function), and the promoters that
// let Python numbers, NumPy scalars and bool/integer/float arrays mix with it
// (converted exactly first, then the dtype's loop).
//
// One loop body per arity serves every layout NumPy passes:
// - contiguous, 8-byte aligned operands: the batch function over all rows;
// - strided, reversed, unaligned or broadcast (stride 0) operands: blocks of
//   rows gathered into small contiguous buffers (a broadcast value is copied
//   once), the batch function on the block, the block scattered back;
// - an output that partly overlaps an input (NumPy's accumulate passes
//   out = in + 1 element): the scalar function row by row, in order;
// - a reduction (accumulator as operand 0 and output, stride 0): see
//   reductions.cpp.
// Row i of every result has the bits of the scalar function on row i.  The
// loops need no Python API, so NumPy runs them without the GIL, and they are
// flagged as raising no floating-point errors: the library reports none, and
// vector lanes raise flags the scalar code does not.
//
// Adding a ufunc is one line in loop_table().  A generalised ufunc (matmul)
// registers the same way: a PyArrayMethod_Spec whose dtypes are the dtype and
// whose strided loop walks the core dimensions, passed to
// PyUFunc_AddLoopFromSpec (see register_ufuncs).
#include "loops.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ostrell_batch.h"
#include "ostrell_math.h"
#include "ostrell_utils.h"

namespace ostrell_dtype {

namespace {

constexpr npy_intp block_rows = 256;

// ---- scalar functions the library does not name ------------------------------

ostrell_t positive(ostrell_t x) { return x; }

// NumPy's sign: 1, -1, +0 for either zero, NaN as it is.
ostrell_t sign(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    if (hi > 0.0) return ostrell_from_double(1.0);
    if (hi < 0.0) return ostrell_from_double(-1.0);
    if (hi == 0.0) return ostrell_from_hi_lo(0.0, 0.0);
    return x;
}

ostrell_t square(ostrell_t x) { return ostrell_mul(x, x); }
ostrell_t reciprocal(ostrell_t x) { return ostrell_div(ostrell_from_double(1.0), x); }

// The six comparisons with the results of ostrell_eq, ostrell_lt, ... (and
// !ostrell_eq), written without branches on the four parts: a NaN high part
// makes every comparison but != false; a NaN only in a low part makes the
// library's three-way comparison -1.
struct parts {
    bool nan_hi, nan_any, lt, gt, eq; // lt, gt, eq: (hi, lo) lexicographically
};

inline parts compare_parts(double ah, double al, double bh, double bl)
{
    parts p;
    p.nan_hi = (ah != ah) | (bh != bh);
    p.nan_any = p.nan_hi | (al != al) | (bl != bl);
    p.lt = (ah < bh) | ((ah == bh) & (al < bl));
    p.gt = (ah > bh) | ((ah == bh) & (al > bl));
    p.eq = (ah == bh) & (al == bl);
    return p;
}

bool cmp_eq(const parts& p) { return (!p.nan_any) & p.eq; }
bool cmp_ne(const parts& p) { return !cmp_eq(p); }
bool cmp_lt(const parts& p) { return (!p.nan_hi) & (p.nan_any | p.lt); }
bool cmp_le(const parts& p) { return (!p.nan_hi) & (p.nan_any | !p.gt); }
bool cmp_gt(const parts& p) { return (!p.nan_any) & p.gt; }
bool cmp_ge(const parts& p) { return (!p.nan_any) & (!p.lt); }

// maximum/minimum propagate a NaN (the first one); fmax/fmin ignore one.
// Which operand each returns follows ostrell_isnan, ostrell_lt and
// ostrell_gt, decided without branches (the operands' order is random).
inline ostrell_t pick(bool second, ostrell_t a, ostrell_t b)
{
    const __m128d m = _mm_castsi128_pd(_mm_set1_epi64x(-static_cast<long long>(second)));
    return _mm_or_pd(_mm_and_pd(m, b), _mm_andnot_pd(m, a));
}

inline parts parts_of(ostrell_t a, ostrell_t b)
{
    double x[2], y[2];
    _mm_storeu_pd(x, a);
    _mm_storeu_pd(y, b);
    return compare_parts(x[0], x[1], y[0], y[1]);
}

inline bool nan_hi(ostrell_t x) { return _mm_cvtsd_f64(x) != _mm_cvtsd_f64(x); }

ostrell_t maximum(ostrell_t a, ostrell_t b)
{
    const parts p = parts_of(a, b);
    return pick((!nan_hi(a)) & (nan_hi(b) | cmp_lt(p)), a, b);
}

ostrell_t minimum(ostrell_t a, ostrell_t b)
{
    const parts p = parts_of(a, b);
    return pick((!nan_hi(a)) & (nan_hi(b) | cmp_gt(p)), a, b);
}

ostrell_t fmax(ostrell_t a, ostrell_t b)
{
    const parts p = parts_of(a, b);
    return pick(nan_hi(a) | (!nan_hi(b) & cmp_lt(p)), a, b);
}

ostrell_t fmin(ostrell_t a, ostrell_t b)
{
    const parts p = parts_of(a, b);
    return pick(nan_hi(a) | (!nan_hi(b) & cmp_gt(p)), a, b);
}
int isfinite(ostrell_t x) { return !ostrell_isnan(x) && !ostrell_isinf(x); }
int signbit(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return std::signbit(hi);
}

// The batch form of a scalar function: its row loop.
template <unary_row f> void rows1(const double* x, double* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        _mm_storeu_pd(out + 2 * i, f(_mm_loadu_pd(x + 2 * i)));
}

template <binary_row f> void rows2(const double* a, const double* b, double* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        _mm_storeu_pd(out + 2 * i, f(_mm_loadu_pd(a + 2 * i), _mm_loadu_pd(b + 2 * i)));
}

// ---- layouts ------------------------------------------------------------------

// Whether n rows at (o, so) and (a, sa) share bytes without being the same rows.
bool partial_overlap(const char* o, npy_intp so, const char* a, npy_intp sa, npy_intp n)
{
    if (o == a && so == sa)
        return false;
    const npy_intp eo = (n - 1) * so, ea = (n - 1) * sa;
    const char* o_lo = o + std::min<npy_intp>(0, eo);
    const char* o_hi = o + std::max<npy_intp>(0, eo) + row_bytes;
    const char* a_lo = a + std::min<npy_intp>(0, ea);
    const char* a_hi = a + std::max<npy_intp>(0, ea) + row_bytes;
    return o_lo < a_hi && a_lo < o_hi;
}

// An input block: the rows themselves when contiguous, else gathered into buf
// (a broadcast row only on the first block).
const double* block_in(const char* p, npy_intp stride, npy_intp start, npy_intp m, double* buf)
{
    if (contiguous(p, stride))
        return reinterpret_cast<const double*>(p + start * row_bytes);
    if (stride == 0) {
        if (start == 0)
            for (npy_intp k = 0; k < block_rows; ++k)
                std::memcpy(buf + 2 * k, p, row_bytes);
        return buf;
    }
    const char* q = p + start * stride;
    for (npy_intp k = 0; k < m; ++k, q += stride)
        std::memcpy(buf + 2 * k, q, row_bytes);
    return buf;
}

void block_out(char* p, npy_intp stride, npy_intp start, npy_intp m, const double* buf)
{
    char* q = p + start * stride;
    for (npy_intp k = 0; k < m; ++k, q += stride)
        std::memcpy(q, buf + 2 * k, row_bytes);
}

// ---- loop bodies --------------------------------------------------------------

template <unary_batch batch>
int unary_loop(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp s[], NpyAuxData*)
{
    const npy_intp n = dims[0];
    if (n <= 0)
        return 0;
    const char* x = data[0];
    char* o = data[1];
    if (partial_overlap(o, s[1], x, s[0], n)) { // row by row, in order
        for (npy_intp i = 0; i < n; ++i) {
            double r[2];
            std::memcpy(r, x + i * s[0], row_bytes);
            batch(r, r, 1);
            std::memcpy(o + i * s[1], r, row_bytes);
        }
        return 0;
    }
    if (contiguous(x, s[0]) && contiguous(o, s[1])) {
        batch(reinterpret_cast<const double*>(x), reinterpret_cast<double*>(o), static_cast<std::size_t>(n));
        return 0;
    }
    double xb[2 * block_rows], ob[2 * block_rows];
    const bool direct = contiguous(o, s[1]);
    for (npy_intp start = 0; start < n; start += block_rows) {
        const npy_intp m = std::min(block_rows, n - start);
        const double* px = block_in(x, s[0], start, m, xb);
        double* po = direct ? reinterpret_cast<double*>(o + start * row_bytes) : ob;
        batch(px, po, static_cast<std::size_t>(m));
        if (!direct)
            block_out(o, s[1], start, m, ob);
    }
    return 0;
}

template <binary_batch batch, binary_row row, bool is_add>
int binary_loop(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp s[], NpyAuxData*)
{
    const npy_intp n = dims[0];
    if (n <= 0)
        return 0;
    if (is_reduction(data, s, 2))
        return is_add ? reduce_add(data, n, s) : reduce_fold(row, data, n, s);
    const char* a = data[0];
    const char* b = data[1];
    char* o = data[2];
    if (partial_overlap(o, s[2], a, s[0], n) || partial_overlap(o, s[2], b, s[1], n)) {
        for (npy_intp i = 0; i < n; ++i)
            store(o + i * s[2], row(load(a + i * s[0]), load(b + i * s[1])));
        return 0;
    }
    if (contiguous(a, s[0]) && contiguous(b, s[1]) && contiguous(o, s[2])) {
        batch(reinterpret_cast<const double*>(a), reinterpret_cast<const double*>(b), reinterpret_cast<double*>(o),
              static_cast<std::size_t>(n));
        return 0;
    }
    double ab[2 * block_rows], bb[2 * block_rows], ob[2 * block_rows];
    const bool direct = contiguous(o, s[2]);
    for (npy_intp start = 0; start < n; start += block_rows) {
        const npy_intp m = std::min(block_rows, n - start);
        const double* pa = block_in(a, s[0], start, m, ab);
        const double* pb = block_in(b, s[1], start, m, bb);
        double* po = direct ? reinterpret_cast<double*>(o + start * row_bytes) : ob;
        batch(pa, pb, po, static_cast<std::size_t>(m));
        if (!direct)
            block_out(o, s[2], start, m, ob);
    }
    return 0;
}

template <int (*pred)(ostrell_t)>
int predicate_loop(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp s[], NpyAuxData*)
{
    const char* x = data[0];
    char* o = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, x += s[0], o += s[1])
        *reinterpret_cast<npy_bool*>(o) = pred(load(x)) != 0;
    return 0;
}

template <bool (*cmp)(const parts&)>
int compare_loop(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp s[], NpyAuxData*)
{
    const char* a = data[0];
    const char* b = data[1];
    char* o = data[2];
    for (npy_intp i = 0; i < dims[0]; ++i, a += s[0], b += s[1], o += s[2]) {
        double x[2], y[2];
        std::memcpy(x, a, sizeof x);
        std::memcpy(y, b, sizeof y);
        *reinterpret_cast<npy_bool*>(o) = cmp(compare_parts(x[0], x[1], y[0], y[1]));
    }
    return 0;
}

// ---- the table ----------------------------------------------------------------

struct loop_def {
    const char* ufunc;
    int nin;
    bool bool_out;
    PyArrayMethod_StridedLoop* loop;
    PyArrayMethod_GetReductionInitial* initial;
    bool reorderable; // NumPy may reduce over several axes at once
};

#define OSTRELL_UNARY(name, batch) {name, 1, false, unary_loop<batch>, nullptr, false}
#define OSTRELL_UNARY_ROW(name, f) {name, 1, false, unary_loop<rows1<f>>, nullptr, false}
#define OSTRELL_BINARY(name, batch, f) {name, 2, false, binary_loop<batch, f, false>, nullptr, false}
#define OSTRELL_BINARY_ROW(name, f, reorderable) {name, 2, false, binary_loop<rows2<f>, f, false>, nullptr, reorderable}
#define OSTRELL_COMPARE(name, f) {name, 2, true, compare_loop<f>, nullptr, false}
#define OSTRELL_PREDICATE(name, f) {name, 1, true, predicate_loop<f>, nullptr, false}

const std::vector<loop_def>& loop_table()
{
    static const std::vector<loop_def> table = {
        {"add", 2, false, binary_loop<ostrell_batch_add, ostrell_add, true>, initial_zero, true},
        OSTRELL_BINARY("subtract", ostrell_batch_sub, ostrell_sub),
        {"multiply", 2, false, binary_loop<ostrell_batch_mul, ostrell_mul, false>, initial_one, true},
        OSTRELL_BINARY("divide", ostrell_batch_div, ostrell_div), // also true_divide
        OSTRELL_BINARY("power", ostrell_batch_pow, ostrell_pow),
        OSTRELL_BINARY("arctan2", ostrell_batch_atan2, ostrell_atan2),
        OSTRELL_BINARY("fmod", ostrell_batch_fmod, ostrell_fmod),
        OSTRELL_BINARY_ROW("maximum", maximum, true),
        OSTRELL_BINARY_ROW("minimum", minimum, true),
        OSTRELL_BINARY_ROW("fmax", fmax, true),
        OSTRELL_BINARY_ROW("fmin", fmin, true),
        OSTRELL_UNARY_ROW("negative", ostrell_neg),
        OSTRELL_UNARY_ROW("positive", positive),
        OSTRELL_UNARY_ROW("conjugate", positive),
        OSTRELL_UNARY_ROW("absolute", ostrell_abs),
        OSTRELL_UNARY_ROW("sign", sign),
        OSTRELL_UNARY_ROW("square", square),
        OSTRELL_UNARY_ROW("reciprocal", reciprocal),
        OSTRELL_UNARY("sqrt", ostrell_batch_sqrt),
        OSTRELL_UNARY("exp", ostrell_batch_exp),
        OSTRELL_UNARY("log", ostrell_batch_log),
        OSTRELL_UNARY("sin", ostrell_batch_sin),
        OSTRELL_UNARY("cos", ostrell_batch_cos),
        OSTRELL_UNARY("tan", ostrell_batch_tan),
        OSTRELL_UNARY("arcsin", ostrell_batch_asin),
        OSTRELL_UNARY("arccos", ostrell_batch_acos),
        OSTRELL_UNARY("arctan", ostrell_batch_atan),
        OSTRELL_UNARY("sinh", ostrell_batch_sinh),
        OSTRELL_UNARY("cosh", ostrell_batch_cosh),
        OSTRELL_UNARY("tanh", ostrell_batch_tanh),
        OSTRELL_UNARY("floor", ostrell_batch_floor),
        OSTRELL_UNARY("ceil", ostrell_batch_ceil),
        OSTRELL_UNARY("trunc", ostrell_batch_trunc),
        OSTRELL_COMPARE("equal", cmp_eq),
        OSTRELL_COMPARE("not_equal", cmp_ne),
        OSTRELL_COMPARE("less", cmp_lt),
        OSTRELL_COMPARE("less_equal", cmp_le),
        OSTRELL_COMPARE("greater", cmp_gt),
        OSTRELL_COMPARE("greater_equal", cmp_ge),
        OSTRELL_PREDICATE("isnan", ostrell_isnan),
        OSTRELL_PREDICATE("isinf", ostrell_isinf),
        OSTRELL_PREDICATE("isfinite", isfinite),
        OSTRELL_PREDICATE("signbit", signbit),
    };
    return table;
}

// ---- promotion ----------------------------------------------------------------

// DTypes whose values the dtype holds exactly.
bool converts_exactly(PyArray_DTypeMeta* d)
{
    if (d == &Float128DType || d == &PyArray_PyLongDType || d == &PyArray_PyFloatDType)
        return true;
    const int t = d->type_num;
    return t >= 0 && (PyTypeNum_ISBOOL(t) || PyTypeNum_ISINTEGER(t) || t == NPY_HALF || t == NPY_FLOAT || t == NPY_DOUBLE);
}

// Mixed operands: every input that converts exactly becomes the dtype; a
// DType given in the signature is kept.  Other inputs: TypeError, except
// that a comparison keeps the DTypes as they are, so NumPy finds no loop and
// == and != answer as they do for float64 against such operands (None, str).
template <bool bool_out>
int promote(PyObject* ufunc, PyArray_DTypeMeta* const op_dtypes[], PyArray_DTypeMeta* const signature[],
            PyArray_DTypeMeta* new_op_dtypes[])
{
    const int nin = reinterpret_cast<PyUFuncObject*>(ufunc)->nin;
    if (bool_out) {
        bool all_exact = true;
        for (int i = 0; i < nin; ++i)
            all_exact = all_exact && (signature[i] || converts_exactly(op_dtypes[i]));
        if (!all_exact) {
            for (int i = 0; i <= nin; ++i) {
                new_op_dtypes[i] = signature[i] ? signature[i] : op_dtypes[i];
                Py_XINCREF(new_op_dtypes[i]);
            }
            return 0;
        }
    }
    for (int i = 0; i < nin; ++i) {
        PyArray_DTypeMeta* d = signature[i] ? signature[i] : op_dtypes[i];
        if (!signature[i] && !converts_exactly(d)) {
            PyErr_Format(PyExc_TypeError,
                         "ufunc '%s': %S does not convert exactly to Float128DType (convert it explicitly)",
                         reinterpret_cast<PyUFuncObject*>(ufunc)->name, reinterpret_cast<PyObject*>(d));
            return -1;
        }
        new_op_dtypes[i] = signature[i] ? signature[i] : &Float128DType;
        Py_INCREF(new_op_dtypes[i]);
    }
    PyArray_DTypeMeta* out = signature[nin] ? signature[nin] : bool_out ? &PyArray_BoolDType : &Float128DType;
    Py_INCREF(out);
    new_op_dtypes[nin] = out;
    return 0;
}

int add_promoters(PyObject* ufunc, bool bool_out)
{
    PyObject* capsule = PyCapsule_New(reinterpret_cast<void*>(bool_out ? promote<true> : promote<false>),
                                      "numpy._ufunc_promoter", nullptr);
    if (!capsule)
        return -1;
    PyObject* any = reinterpret_cast<PyObject*>(&PyArrayDescr_Type);
    PyObject* self = reinterpret_cast<PyObject*>(&Float128DType);
    int r = 0;
    for (int side = 0; side < 2 && r == 0; ++side) {
        PyObject* dtypes = PyTuple_Pack(3, side == 0 ? self : any, side == 0 ? any : self, any);
        r = dtypes ? PyUFunc_AddPromoter(ufunc, dtypes, capsule) : -1;
        Py_XDECREF(dtypes);
    }
    Py_DECREF(capsule);
    return r;
}

} // namespace

int register_ufuncs()
{
    PyObject* numpy = PyImport_ImportModule("numpy");
    if (!numpy)
        return -1;
    for (const loop_def& d : loop_table()) {
        PyObject* ufunc = PyObject_GetAttrString(numpy, d.ufunc);
        if (!ufunc) {
            Py_DECREF(numpy);
            return -1;
        }
        PyArray_DTypeMeta* dtypes[3] = {&Float128DType, &Float128DType, &Float128DType};
        dtypes[d.nin] = d.bool_out ? &PyArray_BoolDType : &Float128DType;
        void* loop = reinterpret_cast<void*>(d.loop);
        std::vector<PyType_Slot> slots = {
            {NPY_METH_strided_loop, loop},
            {NPY_METH_contiguous_loop, loop},
            {NPY_METH_unaligned_strided_loop, loop},
            {NPY_METH_unaligned_contiguous_loop, loop},
        };
        if (d.initial)
            slots.push_back({NPY_METH_get_reduction_initial, reinterpret_cast<void*>(d.initial)});
        slots.push_back({0, nullptr});
        const std::string name = std::string("float128_") + d.ufunc;
        PyArrayMethod_Spec method = {};
        method.name = name.c_str();
        method.nin = d.nin;
        method.nout = 1;
        method.casting = NPY_NO_CASTING;
        method.flags = static_cast<NPY_ARRAYMETHOD_FLAGS>(NPY_METH_NO_FLOATINGPOINT_ERRORS | NPY_METH_SUPPORTS_UNALIGNED
                                                        | (d.reorderable ? NPY_METH_IS_REORDERABLE : 0));
        method.dtypes = dtypes;
        method.slots = slots.data();
        int r = PyUFunc_AddLoopFromSpec(ufunc, &method);
        if (r == 0 && d.nin == 2)
            r = add_promoters(ufunc, d.bool_out);
        Py_DECREF(ufunc);
        if (r < 0) {
            Py_DECREF(numpy);
            return -1;
        }
    }
    Py_DECREF(numpy);
    return 0;
}

} // namespace ostrell_dtype
