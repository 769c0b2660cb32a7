// dtype.cpp: the DType class Float128DType, its one descriptor instance, the
// conversion of single elements to and from Python objects, and the
// zero-copy views between (..., 2) float64 rows and arrays of the dtype.
#define OSTRELL_DTYPE_IMPORTS_NUMPY
#include "numpy_c.hpp"

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "call_guard.hpp"
#include "dtype.hpp"
#include "ostrell.hpp"
#include "whole_text.hpp"

namespace py = pybind11;

namespace ostrell_dtype {

PyArray_DTypeMeta Float128DType;
PyTypeObject* scalar_type = nullptr;

namespace {

PyArray_Descr* the_descr = nullptr;

using call_guard::guarded;

// ---- exact conversions of Python numbers -------------------------------------

// A Python int: exact when it fits in 64 bits or in the pair's 106 bits of
// span; beyond that hi is the nearest binary64 and lo the nearest to the rest.
// Too large for a binary64: OverflowError.
int from_pylong(PyObject* obj, ostrell_t* out)
{
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(obj, &overflow);
    if (v == -1 && PyErr_Occurred())
        return -1;
    if (!overflow) {
        *out = from_int128(v);
        return 0;
    }
    const unsigned long long u = PyLong_AsUnsignedLongLong(obj);
    if (!PyErr_Occurred()) {
        *out = from_int128(static_cast<__int128>(u));
        return 0;
    }
    PyErr_Clear();
    const double hi = PyLong_AsDouble(obj);
    if (hi == -1.0 && PyErr_Occurred())
        return -1;
    PyObject* h = PyLong_FromDouble(hi);
    PyObject* rest = h ? PyNumber_Subtract(obj, h) : nullptr;
    Py_XDECREF(h);
    if (!rest)
        return -1;
    const double lo = PyLong_AsDouble(rest);
    Py_DECREF(rest);
    if (lo == -1.0 && PyErr_Occurred())
        return -1;
    *out = ostrell_from_hi_lo(hi, lo);
    return 0;
}

int from_text(PyObject* obj, ostrell_t* out)
{
    const char* p = nullptr;
    Py_ssize_t n = 0;
    if (PyUnicode_Check(obj)) {
        p = PyUnicode_AsUTF8AndSize(obj, &n);
        if (!p)
            return -1;
    } else {
        p = PyBytes_AS_STRING(obj);
        n = PyBytes_GET_SIZE(obj);
    }
    if (!whole_text::read(p, p + n, out)) {
        PyErr_Format(PyExc_ValueError, "could not convert string to Float128: %R", obj);
        return -1;
    }
    return 0;
}

} // namespace

PyObject* object_of(ostrell_t x)
{
    return guarded<PyObject*>(nullptr, [&] { return py::cast(ostrell::float128(x)).release().ptr(); });
}

int value_of(PyObject* obj, ostrell_t* out)
{
    if (PyObject_TypeCheck(obj, scalar_type)) {
        // Read through pybind11's conversion, as the ostrell module's own
        // functions and the companion's conversions read their arguments, so
        // an instance whose __init__ never ran reads as it does there (the
        // ostrell module constructs a zero value when the instance is made).
        return guarded<int>(-1, [&] {
            *out = py::handle(obj).cast<const ostrell::float128&>().data;
            return 0;
        });
    }
    if (PyFloat_Check(obj)) {
        *out = ostrell_from_double(PyFloat_AS_DOUBLE(obj));
        return 0;
    }
    if (PyLong_Check(obj))
        return from_pylong(obj, out);
    if (PyUnicode_Check(obj) || PyBytes_Check(obj))
        return from_text(obj, out);
    if (PyArray_IsScalar(obj, Integer) || PyArray_IsScalar(obj, Bool)) {
        PyObject* i = PyNumber_Index(obj);
        if (!i)
            return -1;
        const int r = from_pylong(i, out);
        Py_DECREF(i);
        return r;
    }
    if (PyArray_IsScalar(obj, LongDouble)) { // as the cast from longdouble
        *out = from_long_double(PyArrayScalar_VAL(obj, LongDouble));
        return 0;
    }
    if (PyArray_IsScalar(obj, Floating)) { // half, single, double: exact in a binary64
        const double d = PyFloat_AsDouble(obj);
        if (d == -1.0 && PyErr_Occurred())
            return -1;
        *out = ostrell_from_double(d);
        return 0;
    }
    PyErr_Format(PyExc_TypeError, "cannot convert %.200s to Float128 (an ostrell.Float128, int, float, "
                 "str or bytes is needed)", Py_TYPE(obj)->tp_name);
    return -1;
}

bool has_arrfuncs_slots() { return PyArray_GetNDArrayCFeatureVersion() >= 0x15; } // NPY_2_4_API_VERSION

PyArray_Descr* new_descr()
{
    Py_INCREF(the_descr);
    return the_descr;
}

namespace {

// ---- the DType's slots --------------------------------------------------------

PyObject* getitem(PyArray_Descr*, char* data) { return object_of(load(data)); }

int setitem(PyArray_Descr*, PyObject* obj, char* data)
{
    ostrell_t x;
    if (value_of(obj, &x) < 0)
        return -1;
    store(data, x);
    return 0;
}

PyArray_Descr* discover(PyArray_DTypeMeta*, PyObject*) { return new_descr(); }
PyArray_Descr* default_descr(PyArray_DTypeMeta*) { return new_descr(); }

PyArray_Descr* ensure_canonical(PyArray_Descr* d)
{
    Py_INCREF(d);
    return d;
}

// Bool, integer and real floating types, and Python int and float, convert
// exactly, so the dtype is their common DType; anything else is not.
PyArray_DTypeMeta* common_dtype(PyArray_DTypeMeta* cls, PyArray_DTypeMeta* other)
{
    if (other == &PyArray_PyLongDType || other == &PyArray_PyFloatDType
        || (other->type_num >= 0
            && (PyTypeNum_ISBOOL(other->type_num) || PyTypeNum_ISINTEGER(other->type_num)
                || PyTypeNum_ISFLOAT(other->type_num)))) {
        Py_INCREF(cls);
        return cls;
    }
    Py_INCREF(Py_NotImplemented);
    return reinterpret_cast<PyArray_DTypeMeta*>(Py_NotImplemented);
}

npy_bool nonzero(void* data, void*)
{
    double hl[2];
    std::memcpy(hl, data, sizeof hl);
    return hl[0] != 0.0 || hl[1] != 0.0;
}

// ---- the class ----------------------------------------------------------------

PyObject* dtype_new(PyTypeObject*, PyObject* args, PyObject* kwds)
{
    if (PyTuple_GET_SIZE(args) != 0 || (kwds && PyDict_GET_SIZE(kwds) != 0)) {
        PyErr_SetString(PyExc_TypeError, "Float128DType() takes no arguments");
        return nullptr;
    }
    return reinterpret_cast<PyObject*>(new_descr());
}

PyObject* dtype_repr(PyObject*) { return PyUnicode_FromString("Float128DType()"); }

// Pickled as the call Float128DType(), which gives the one instance.
PyObject* dtype_reduce(PyObject* self, PyObject*)
{
    return Py_BuildValue("(O())", reinterpret_cast<PyObject*>(Py_TYPE(self)));
}

PyMethodDef dtype_methods[] = {
    {"__reduce__", dtype_reduce, METH_NOARGS, "pickled as Float128DType()"},
    {nullptr, nullptr, 0, nullptr},
};

// ---- views --------------------------------------------------------------------

// A view of `base`'s data with another descriptor, shape and strides.
PyObject* view_of(PyArrayObject* base, PyArray_Descr* descr, int nd, const npy_intp* shape,
                  const npy_intp* strides)
{
    const int flags = PyArray_ISWRITEABLE(base) ? NPY_ARRAY_WRITEABLE : 0;
    PyObject* v = PyArray_NewFromDescr(&PyArray_Type, descr, nd, const_cast<npy_intp*>(shape),
                                       const_cast<npy_intp*>(strides), PyArray_DATA(base), flags, nullptr);
    if (!v)
        return nullptr;
    Py_INCREF(base);
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(v), reinterpret_cast<PyObject*>(base)) < 0) {
        Py_DECREF(v);
        return nullptr;
    }
    return v;
}

PyObject* as_float128(PyObject*, PyObject* obj)
{
    PyArrayObject* a = reinterpret_cast<PyArrayObject*>(obj);
    if (!PyArray_Check(obj) || PyArray_TYPE(a) != NPY_DOUBLE || !PyArray_ISNBO(PyArray_DESCR(a)->byteorder)
        || PyArray_NDIM(a) < 1 || PyArray_DIM(a, PyArray_NDIM(a) - 1) != 2
        || PyArray_STRIDE(a, PyArray_NDIM(a) - 1) != npy_intp(sizeof(double))) {
        PyErr_SetString(PyExc_TypeError, "as_float128: rows must be a float64 array of shape (..., 2) "
                                         "whose last axis is contiguous");
        return nullptr;
    }
    return view_of(a, new_descr(), PyArray_NDIM(a) - 1, PyArray_DIMS(a), PyArray_STRIDES(a));
}

PyObject* as_rows(PyObject*, PyObject* obj)
{
    PyArrayObject* a = reinterpret_cast<PyArrayObject*>(obj);
    if (!PyArray_Check(obj) || NPY_DTYPE(PyArray_DESCR(a)) != &Float128DType) {
        PyErr_SetString(PyExc_TypeError, "as_rows: a must be an array of dtype Float128DType()");
        return nullptr;
    }
    const int nd = PyArray_NDIM(a);
    if (nd >= NPY_MAXDIMS) {
        PyErr_SetString(PyExc_ValueError, "as_rows: too many dimensions");
        return nullptr;
    }
    npy_intp shape[NPY_MAXDIMS], strides[NPY_MAXDIMS];
    for (int i = 0; i < nd; ++i) {
        shape[i] = PyArray_DIM(a, i);
        strides[i] = PyArray_STRIDE(a, i);
    }
    shape[nd] = 2;
    strides[nd] = sizeof(double);
    return view_of(a, PyArray_DescrFromType(NPY_DOUBLE), nd + 1, shape, strides);
}

PyMethodDef view_functions[] = {
    {"as_float128", as_float128, METH_O,
     "as_float128(rows): the (...) array of dtype Float128DType() sharing the memory of the float64 "
     "rows of shape (..., 2) (same as rows.view(float128_dtype)[..., 0])"},
    {"as_rows", as_rows, METH_O,
     "as_rows(a): the (..., 2) float64 view (high part, low part) of an array of dtype Float128DType()"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

int install(PyObject* module)
{
    if (PyArray_ImportNumPyAPI() < 0)
        return -1;
    import_umath1(-1);

    scalar_type = reinterpret_cast<PyTypeObject*>(
        guarded<PyObject*>(nullptr, [] { return py::object(py::module_::import("ostrell").attr("Float128")).release().ptr(); }));
    if (!scalar_type)
        return -1;

    PyTypeObject* t = reinterpret_cast<PyTypeObject*>(&Float128DType);
    Py_SET_TYPE(reinterpret_cast<PyObject*>(t), &PyArrayDTypeMeta_Type);
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(t), 1);
    t->tp_name = "ostrell_numpy.Float128DType";
    t->tp_doc = "NumPy dtype of ostrell.Float128 values: 16 bytes (high part, low part), alignment 8";
    t->tp_basicsize = sizeof(PyArray_Descr);
    t->tp_flags = Py_TPFLAGS_DEFAULT;
    t->tp_new = dtype_new;
    t->tp_repr = dtype_repr;
    t->tp_str = dtype_repr;
    t->tp_methods = dtype_methods;
    t->tp_base = &PyArrayDescr_Type;
    if (PyType_Ready(t) < 0)
        return -1;

    std::vector<PyType_Slot> slots = {
        {NPY_DT_discover_descr_from_pyobject, reinterpret_cast<void*>(discover)},
        {NPY_DT_default_descr, reinterpret_cast<void*>(default_descr)},
        {NPY_DT_common_dtype, reinterpret_cast<void*>(common_dtype)},
        {NPY_DT_ensure_canonical, reinterpret_cast<void*>(ensure_canonical)},
        {NPY_DT_setitem, reinterpret_cast<void*>(setitem)},
        {NPY_DT_getitem, reinterpret_cast<void*>(getitem)},
    };
    // NumPy takes the ArrFuncs slots (nonzero, sorting, compare, argmax,
    // argmin) from a new DType from 2.4 on; before, it refuses them.
    if (has_arrfuncs_slots()) {
        slots.push_back({NPY_DT_PyArray_ArrFuncs_nonzero, reinterpret_cast<void*>(nonzero)});
        for (PyType_Slot* s = sort_slots; s->slot; ++s)
            slots.push_back(*s);
    }
    slots.push_back({0, nullptr});

    PyArrayDTypeMeta_Spec meta = {};
    meta.typeobj = scalar_type;
    meta.flags = NPY_DT_NUMERIC;
    meta.casts = cast_methods();
    meta.slots = slots.data();
    meta.baseclass = nullptr;
    if (!meta.casts || PyArrayInitDTypeMeta_FromSpec(&Float128DType, &meta) < 0)
        return -1;

    the_descr = reinterpret_cast<PyArray_Descr*>(PyArrayDescr_Type.tp_new(t, nullptr, nullptr));
    if (!the_descr)
        return -1;
    the_descr->elsize = row_bytes;
    the_descr->alignment = alignof(double);
    // A floating kind: NumPy's Python code decides NaN handling by it
    // (np.unique gives one NaN, as for float64).
    the_descr->kind = 'f';
    // Before 2.4, NumPy calls a DType's nonzero function without checking
    // that it has one (a.nonzero(), np.count_nonzero crashed): give it ours
    // through the descriptor's function table.
    if (!has_arrfuncs_slots())
        PyDataType_GetArrFuncs(the_descr)->nonzero = nonzero;

    if (register_ufuncs() < 0)
        return -1;

    Py_INCREF(t);
    if (PyModule_AddObject(module, "Float128DType", reinterpret_cast<PyObject*>(t)) < 0)
        return -1;
    if (PyModule_AddObject(module, "float128_dtype", reinterpret_cast<PyObject*>(new_descr())) < 0)
        return -1;
    PyObject* name = PyModule_GetNameObject(module);
    if (!name)
        return -1;
    for (PyMethodDef* f = view_functions; f->ml_name; ++f) {
        PyObject* fn = PyCFunction_NewEx(f, nullptr, name);
        if (!fn || PyModule_AddObject(module, f->ml_name, fn) < 0) {
            Py_DECREF(name);
            return -1;
        }
    }
    Py_DECREF(name);
    return 0;
}

} // namespace ostrell_dtype
