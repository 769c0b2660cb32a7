// zeroed_values.hpp: a bound value class whose instances hold a zero value
// from the moment they exist, so an instance whose __init__ never ran (made
// by T.__new__(T), or by a subclass's __new__) reads as T() everywhere: in
// the bound methods and functions, the number slots and the other module's
// conversions.
//
// pybind11 leaves the value storage of a new instance unallocated until
// __init__ runs; whatever loads the instance before that (any py::cast or
// argument conversion) allocates the storage on first use and leaves it
// uninitialised.  Our tp_new does that first load itself and constructs T()
// in the storage.  When __init__ runs, pybind11's dispatcher releases
// storage allocated that way before it tries a constructor (as it does for
// storage an earlier candidate allocated), so nothing is kept twice.
//
// tp_new is set before PyType_Ready (py::custom_type_setup), so the class
// gets its own __new__ calling it, and Python subclasses inherit it.
#ifndef OSTRELL_ZEROED_VALUES_HPP
#define OSTRELL_ZEROED_VALUES_HPP

#include <pybind11/pybind11.h>

#include <exception>
#include <new>

namespace zeroed_values {

namespace py = pybind11;

template <class T> inline newfunc base_new = nullptr; // pybind11's

template <class T> PyObject* zeroed_new(PyTypeObject* type, PyObject* args, PyObject* kwargs)
{
    PyObject* self = base_new<T>(type, args, kwargs);
    if (!self)
        return nullptr;
    try {
        new (py::handle(self).cast<T*>()) T();
    } catch (py::error_already_set& e) {
        Py_DECREF(self);
        e.restore();
        return nullptr;
    } catch (const std::bad_alloc&) {
        Py_DECREF(self);
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        Py_DECREF(self);
        PyErr_SetString(PyExc_TypeError, e.what());
        return nullptr;
    }
    return self;
}

// Pass as an extra of py::class_<T>: sets tp_new before the type is ready.
template <class T> py::custom_type_setup zeroed_new_setup()
{
    return py::custom_type_setup([](PyHeapTypeObject* heap_type) {
        PyTypeObject* t = &heap_type->ht_type;
        base_new<T> = t->tp_base->tp_new;
        t->tp_new = &zeroed_new<T>;
    });
}

} // namespace zeroed_values

#endif // OSTRELL_ZEROED_VALUES_HPP
