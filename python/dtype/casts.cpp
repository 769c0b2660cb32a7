// casts.cpp: conversions between the dtype and NumPy's types, each declared
// with its safety level.  Only exact conversions are "safe" (bool, every
// integer type, float16/32/64 into the dtype); every conversion that can lose
// precision is "unsafe" only, never "same_kind", so a NumPy function without
// a loop for the dtype raises instead of computing in float64.
#include "numpy_c.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "ostrell_math.h"
#include "whole_text.hpp"

namespace ostrell_dtype {

namespace {

using loop_fn = PyArrayMethod_StridedLoop;

// A Python error from a loop: the loops run without the GIL.
int loop_error(PyObject* type, const char* msg)
{
    PyGILState_STATE g = PyGILState_Ensure();
    PyErr_SetString(type, msg);
    PyGILState_Release(g);
    return -1;
}

// ---- into the dtype: exact ----------------------------------------------------

template <class I> ostrell_t from_integer(I v) { return from_int128(static_cast<__int128>(v)); }

template <class F> ostrell_t from_float(F v) { return ostrell_from_double(static_cast<double>(v)); }

template <class T, ostrell_t (*conv)(T)>
int to_dd(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const char* in = data[0];
    char* out = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1]) {
        T v;
        std::memcpy(&v, in, sizeof v);
        store(out, conv(v));
    }
    return 0;
}

int copy_rows(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const char* in = data[0];
    char* out = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1])
        std::memmove(out, in, row_bytes);
    return 0;
}

// ---- out of the dtype: nearest, truncation ----------------------------------

// The binary64 nearest to hi + lo: one rounding of the exact sum.  A zero lo
// gives hi as it is (-0 stays -0, a NaN keeps its bits).
double nearest_double(double hi, double lo) { return lo == 0.0 ? hi : hi + lo; }

// The neighbour of r in F away from or toward zero (r finite).
template <class F, class U> F next_of(F r, bool away)
{
    U bits;
    std::memcpy(&bits, &r, sizeof bits);
    const U magnitude = static_cast<U>(bits & static_cast<U>(~(U(1) << (8 * sizeof(U) - 1))));
    if (magnitude == 0)
        bits = static_cast<U>(bits | 1); // the smallest subnormal of r's sign
    else
        bits = static_cast<U>(away ? bits + 1 : bits - 1);
    std::memcpy(&r, &bits, sizeof bits);
    return r;
}

// The F nearest to hi + lo, ties to even, with one rounding: hi rounded to F
// is the answer unless hi lies exactly halfway between two Fs, where lo's
// sign decides.  (Rounding hi + lo to binary64 first would round twice.)
template <class F, class U> F nearest_narrow(double hi, double lo)
{
    const F r = static_cast<F>(hi);
    const double back = static_cast<double>(r);
    if (lo == 0.0 || !std::isfinite(back) || back == hi)
        return r;
    // The other F next to hi: beyond r on hi's side.
    const bool hi_above = hi > back;
    const F other = next_of<F, U>(r, hi_above == (back > 0.0 || (back == 0.0 && hi_above)));
    const double mid = (back + static_cast<double>(other)) * 0.5; // exact: both have <= 24 bits
    if (hi == mid && (lo > 0.0) == hi_above)
        return other;
    return r;
}

double to_double(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return nearest_double(hi, lo);
}

float to_float(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return nearest_narrow<float, npy_uint32>(hi, lo);
}

_Float16 to_half(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return nearest_narrow<_Float16, npy_uint16>(hi, lo);
}

long double to_long_double(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return lo == 0.0 ? static_cast<long double>(hi) : static_cast<long double>(hi) + static_cast<long double>(lo);
}

template <class T, T (*conv)(ostrell_t)>
int from_dd(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const char* in = data[0];
    char* out = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1]) {
        const T v = conv(load(in));
        std::memcpy(out, &v, sizeof v);
    }
    return 0;
}

// The exact value truncated toward zero; NaN, infinities and values outside
// I's range raise ValueError rather than wrap.
template <class I>
int to_integer(PyArrayMethod_Context*, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const char* in = data[0];
    char* out = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1]) {
        double hi, lo;
        ostrell_extract(ostrell_trunc(load(in)), &hi, &lo); // both parts integers
        bool ok = std::fabs(hi) < 0x1p100;
        __int128 v = 0;
        if (ok) {
            v = static_cast<__int128>(hi) + static_cast<__int128>(lo);
            ok = v >= static_cast<__int128>(std::numeric_limits<I>::min())
                 && v <= static_cast<__int128>(std::numeric_limits<I>::max());
        }
        if (!ok)
            return loop_error(PyExc_ValueError, "Float128 value (NaN, infinite or out of range) cannot be cast to the integer type");
        const I r = static_cast<I>(v);
        std::memcpy(out, &r, sizeof r);
    }
    return 0;
}

npy_bool to_bool(ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    return hi != 0.0 || lo != 0.0;
}

ostrell_t from_bool(npy_bool b) { return ostrell_from_double(b ? 1.0 : 0.0); }

// ---- text ---------------------------------------------------------------------

constexpr npy_intp default_text_chars = 48;

// UCS4 (unicode) or bytes of elsize; the text stops at the first NUL.
template <bool ucs4>
int text_to_dd(PyArrayMethod_Context* ctx, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const npy_intp elsize = ctx->descriptors[0]->elsize;
    const npy_intp chars = ucs4 ? elsize / 4 : elsize;
    std::vector<char> buf(static_cast<std::size_t>(chars) + 1);
    const char* in = data[0];
    char* out = data[1];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1]) {
        npy_intp n = 0;
        bool ascii = true;
        for (; n < chars; ++n) {
            npy_uint32 c;
            if (ucs4) {
                std::memcpy(&c, in + 4 * n, 4);
            } else {
                c = static_cast<unsigned char>(in[n]);
            }
            if (c == 0)
                break;
            ascii = ascii && c < 128;
            buf[static_cast<std::size_t>(n)] = static_cast<char>(c);
        }
        ostrell_t x;
        if (!ascii || !whole_text::read(buf.data(), buf.data() + n, &x)) {
            PyGILState_STATE g = PyGILState_Ensure();
            PyObject* s = ucs4 ? PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, in, n)
                               : PyBytes_FromStringAndSize(in, n);
            if (s) {
                PyErr_Format(PyExc_ValueError, "could not convert string to Float128: %R", s);
                Py_DECREF(s);
            }
            PyGILState_Release(g);
            return -1;
        }
        store(out, x);
    }
    return 0;
}

template <bool ucs4>
int dd_to_text(PyArrayMethod_Context* ctx, char* const data[], const npy_intp dims[], const npy_intp strides[], NpyAuxData*)
{
    const npy_intp elsize = ctx->descriptors[1]->elsize;
    const npy_intp chars = ucs4 ? elsize / 4 : elsize;
    const char* in = data[0];
    char* out = data[1];
    char text[text_max];
    for (npy_intp i = 0; i < dims[0]; ++i, in += strides[0], out += strides[1]) {
        const npy_intp len = static_cast<npy_intp>(text_of(text, sizeof text, load(in)));
        std::memset(out, 0, static_cast<std::size_t>(elsize));
        for (npy_intp k = 0; k < len && k < chars; ++k) {
            if (ucs4) {
                const npy_uint32 c = static_cast<unsigned char>(text[k]);
                std::memcpy(out + 4 * k, &c, 4);
            } else {
                out[k] = text[k];
            }
        }
    }
    return 0;
}

// ---- descriptor resolution ----------------------------------------------------

NPY_CASTING resolve_same(struct PyArrayMethodObject_tag*, PyArray_DTypeMeta* const*, PyArray_Descr* const given[],
                         PyArray_Descr* loop[], npy_intp* view_offset)
{
    Py_INCREF(given[0]);
    loop[0] = given[0];
    loop[1] = new_descr();
    *view_offset = 0;
    return NPY_NO_CASTING;
}

// Text into the dtype: the text descriptor as given.
NPY_CASTING resolve_from_text(struct PyArrayMethodObject_tag*, PyArray_DTypeMeta* const*, PyArray_Descr* const given[],
                              PyArray_Descr* loop[], npy_intp*)
{
    Py_INCREF(given[0]);
    loop[0] = given[0];
    loop[1] = new_descr();
    return NPY_UNSAFE_CASTING;
}

// The dtype into text: a sized target as given, else room for every text.
template <int type_num>
NPY_CASTING resolve_to_text(struct PyArrayMethodObject_tag*, PyArray_DTypeMeta* const*, PyArray_Descr* const given[],
                            PyArray_Descr* loop[], npy_intp*)
{
    Py_INCREF(given[0]);
    loop[0] = given[0];
    if (given[1] && given[1]->elsize > 0) {
        Py_INCREF(given[1]);
        loop[1] = given[1];
    } else {
        loop[1] = PyArray_DescrNewFromType(type_num);
        if (!loop[1]) {
            Py_DECREF(loop[0]);
            return static_cast<NPY_CASTING>(-1);
        }
        loop[1]->elsize = default_text_chars * (type_num == NPY_UNICODE ? 4 : 1);
    }
    return NPY_UNSAFE_CASTING;
}

// Structured and raw (void) data has no numeric meaning: TypeError.
NPY_CASTING resolve_void(struct PyArrayMethodObject_tag*, PyArray_DTypeMeta* const*, PyArray_Descr* const*,
                         PyArray_Descr**, npy_intp*)
{
    PyErr_SetString(PyExc_TypeError, "cannot cast between void (raw or structured) data and Float128DType");
    return static_cast<NPY_CASTING>(-1);
}

int no_loop(PyArrayMethod_Context*, char* const*, const npy_intp*, const npy_intp*, NpyAuxData*)
{
    return loop_error(PyExc_TypeError, "cannot cast between void data and Float128DType");
}

// ---- the table ----------------------------------------------------------------

struct cast_def {
    const char* name;
    PyArray_DTypeMeta* other; // the other DType (null: the dtype itself)
    bool into;                // other -> dtype (else dtype -> other)
    NPY_CASTING casting;
    loop_fn* loop;
    void* resolve;            // null: the default for fixed-size descriptors
    bool needs_api;
};

std::vector<cast_def> cast_table()
{
    std::vector<cast_def> t;
    auto both = [&](const char* name, PyArray_DTypeMeta* other, loop_fn* in, loop_fn* out, NPY_CASTING in_casting) {
        t.push_back({name, other, true, in_casting, in, nullptr, false});
        t.push_back({name, other, false, NPY_UNSAFE_CASTING, out, nullptr, false});
    };
    t.push_back({"float128_to_float128", nullptr, true, NPY_NO_CASTING, copy_rows,
                 reinterpret_cast<void*>(resolve_same), false});
    both("bool", &PyArray_BoolDType, to_dd<npy_bool, from_bool>, from_dd<npy_bool, to_bool>, NPY_SAFE_CASTING);
#define OSTRELL_INT_CAST(DT, T)                                                                \
    both(#T, &PyArray_##DT##DType, to_dd<T, from_integer<T>>, to_integer<T>, NPY_SAFE_CASTING)
    OSTRELL_INT_CAST(Byte, signed char);
    OSTRELL_INT_CAST(UByte, unsigned char);
    OSTRELL_INT_CAST(Short, short);
    OSTRELL_INT_CAST(UShort, unsigned short);
    OSTRELL_INT_CAST(Int, int);
    OSTRELL_INT_CAST(UInt, unsigned int);
    OSTRELL_INT_CAST(Long, long);
    OSTRELL_INT_CAST(ULong, unsigned long);
    OSTRELL_INT_CAST(LongLong, long long);
    OSTRELL_INT_CAST(ULongLong, unsigned long long);
#undef OSTRELL_INT_CAST
    both("float16", &PyArray_HalfDType, to_dd<_Float16, from_float<_Float16>>, from_dd<_Float16, to_half>,
         NPY_SAFE_CASTING);
    both("float32", &PyArray_FloatDType, to_dd<float, from_float<float>>, from_dd<float, to_float>,
         NPY_SAFE_CASTING);
    both("float64", &PyArray_DoubleDType, to_dd<double, from_float<double>>, from_dd<double, to_double>,
         NPY_SAFE_CASTING);
    // Unsafe: beyond binary64's range a longdouble overflows or loses bits.
    both("longdouble", &PyArray_LongDoubleDType, to_dd<long double, from_long_double>,
         from_dd<long double, to_long_double>, NPY_UNSAFE_CASTING);
    t.push_back({"str", &PyArray_UnicodeDType, true, NPY_UNSAFE_CASTING, text_to_dd<true>,
                 reinterpret_cast<void*>(resolve_from_text), true});
    t.push_back({"str", &PyArray_UnicodeDType, false, NPY_UNSAFE_CASTING, dd_to_text<true>,
                 reinterpret_cast<void*>(resolve_to_text<NPY_UNICODE>), false});
    t.push_back({"bytes", &PyArray_BytesDType, true, NPY_UNSAFE_CASTING, text_to_dd<false>,
                 reinterpret_cast<void*>(resolve_from_text), true});
    t.push_back({"bytes", &PyArray_BytesDType, false, NPY_UNSAFE_CASTING, dd_to_text<false>,
                 reinterpret_cast<void*>(resolve_to_text<NPY_STRING>), false});
    t.push_back({"void", &PyArray_VoidDType, true, NPY_UNSAFE_CASTING, no_loop,
                 reinterpret_cast<void*>(resolve_void), false});
    t.push_back({"void", &PyArray_VoidDType, false, NPY_UNSAFE_CASTING, no_loop,
                 reinterpret_cast<void*>(resolve_void), false});
    return t;
}

} // namespace

PyArrayMethod_Spec** cast_methods()
{
    // Built once; NumPy copies what it needs when the DType is created.
    static std::vector<cast_def> defs;
    static std::vector<PyArray_DTypeMeta*> dtypes;
    static std::vector<std::vector<PyType_Slot>> slots;
    static std::vector<PyArrayMethod_Spec> methods;
    static std::vector<PyArrayMethod_Spec*> list;
    defs = cast_table();
    dtypes.assign(2 * defs.size(), nullptr);
    slots.assign(defs.size(), {});
    methods.assign(defs.size(), PyArrayMethod_Spec{});
    list.clear();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const cast_def& d = defs[i];
        dtypes[2 * i] = d.into ? d.other : nullptr;
        dtypes[2 * i + 1] = d.into ? nullptr : d.other;
        if (d.resolve)
            slots[i].push_back({NPY_METH_resolve_descriptors, d.resolve});
        slots[i].push_back({NPY_METH_strided_loop, reinterpret_cast<void*>(d.loop)});
        slots[i].push_back({NPY_METH_unaligned_strided_loop, reinterpret_cast<void*>(d.loop)});
        slots[i].push_back({0, nullptr});
        PyArrayMethod_Spec& s = methods[i];
        s.name = d.name;
        s.nin = 1;
        s.nout = 1;
        s.casting = d.casting;
        // Every loop reads and writes through memcpy: any alignment.
        s.flags = static_cast<NPY_ARRAYMETHOD_FLAGS>(NPY_METH_NO_FLOATINGPOINT_ERRORS | NPY_METH_SUPPORTS_UNALIGNED
                                                     | (d.needs_api ? NPY_METH_REQUIRES_PYAPI : 0));
        s.dtypes = &dtypes[2 * i];
        s.slots = slots[i].data();
        list.push_back(&s);
    }
    list.push_back(nullptr);
    return list.data();
}

} // namespace ostrell_dtype
