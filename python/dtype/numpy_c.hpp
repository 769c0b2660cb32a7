// numpy_c.hpp: NumPy's C API as the dtype's sources use it, and what they
// share: the DType class, its scalar type, and rows read and written at any
// address.
//
// Every translation unit of the dtype includes this header; dtype.cpp alone
// defines OSTRELL_DTYPE_IMPORTS_NUMPY and so owns the API tables that
// import_array / import_umath fill.  The build targets NumPy 2.0's API, so the
// module loads on any NumPy 2.x.
#ifndef OSTRELL_DTYPE_NUMPY_C_HPP
#define OSTRELL_DTYPE_NUMPY_C_HPP

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define PY_ARRAY_UNIQUE_SYMBOL ostrell_dtype_ARRAY_API
#define PY_UFUNC_UNIQUE_SYMBOL ostrell_dtype_UFUNC_API
#define NPY_NO_DEPRECATED_API NPY_2_0_API_VERSION
#define NPY_TARGET_VERSION NPY_2_0_API_VERSION
#ifndef OSTRELL_DTYPE_IMPORTS_NUMPY
#define NO_IMPORT_ARRAY
#define NO_IMPORT_UFUNC
#endif
#include <numpy/arrayobject.h>
#include <numpy/arrayscalars.h>
#include <numpy/dtype_api.h>
#include <numpy/ufuncobject.h>

#include <cmath>
#include <cstring>

#include "ostrell.h"

namespace ostrell_dtype {

// One element: the row (high part, low part), 16 bytes, alignment 8.
constexpr npy_intp row_bytes = 16;

// The DType class and its scalar type (ostrell.Float128).
extern PyArray_DTypeMeta Float128DType;
extern PyTypeObject* scalar_type;

// Whether the running NumPy (2.4 or later) takes the DType's sort, compare,
// argmax, argmin and nonzero functions.
bool has_arrfuncs_slots();

// A new reference to the one descriptor instance.
PyArray_Descr* new_descr();

// A row at any address (memcpy: no alignment needed, the bits unchanged).
inline ostrell_t load(const char* p)
{
    double hl[2];
    std::memcpy(hl, p, sizeof hl);
    return ostrell_from_hi_lo(hl[0], hl[1]);
}

inline void store(char* p, ostrell_t x)
{
    double hl[2];
    ostrell_extract(x, &hl[0], &hl[1]);
    std::memcpy(p, hl, sizeof hl);
}

// Exact conversions into the pair, for the casts and for setitem.
// An integer of up to 64 bits: hi the nearest binary64, lo the rest
// (|lo| <= 2^10, exact in a binary64).
inline ostrell_t from_int128(__int128 v)
{
    const double hi = static_cast<double>(v);
    const double lo = static_cast<double>(v - static_cast<__int128>(hi));
    return ostrell_from_hi_lo(hi, lo);
}

// 64 significant bits: hi the nearest binary64, lo the exact rest (inside
// binary64's range; beyond it hi alone, an infinity, as for a NaN).
inline ostrell_t from_long_double(long double v)
{
    const double hi = static_cast<double>(v);
    if (!std::isfinite(hi))
        return ostrell_from_double(hi);
    return ostrell_from_hi_lo(hi, static_cast<double>(v - static_cast<long double>(hi)));
}

// The Float128 object of x (new reference) and the value of a Python
// object; value_of returns -1 with a Python error set when obj is not a
// number it converts exactly (str and bytes are read as decimal text).
PyObject* object_of(ostrell_t x);
int value_of(PyObject* obj, ostrell_t* out);

// Decimal text (text.cpp): the text of x, NUL-terminated, its length
// returned: the shortest text that reads back to x.  (A text is read as a
// number by whole_text::read, whole_text.hpp.)
std::size_t text_of(char* buf, std::size_t size, ostrell_t x);
constexpr std::size_t text_max = 64;

// The parts of the DType, each set up by its own source file.
PyArrayMethod_Spec** cast_methods();           // casts.cpp, null-terminated
int register_ufuncs();                       // ufuncs.cpp
extern PyType_Slot sort_slots[];             // sort.cpp, {0, nullptr}-terminated

} // namespace ostrell_dtype

#endif
