// fast_slots.hpp: CPython number and comparison slots for a bound value
// class, computing directly when both operands are exactly that class.
//
// pybind11 binds each operator as a method (__add__, __iadd__, __lt__, ...)
// and CPython reaches it through its generic slot functions, which look the
// method up and run pybind11's dispatcher: about 200 ns for 3 ns of
// arithmetic.  install_*() below write slot functions of our own into the
// fields of the finished type object (tp_as_number, tp_richcompare).  A slot
// computes directly when every operand is exactly the bound class, and makes
// its result through py::cast, so it is an ordinary pybind11 instance
// (default holder, separately allocated value, registered), as the bound
// method's result is.  Any other call goes to the bound method itself, found
// on the type as CPython's generic slot finds it.
//
// What the fast path relies on, all documented behaviour of CPython and
// pybind11's public API:
// - py::handle::cast<T*>() on an instance of exactly the bound type gives
//   the address of its value, as the bound method's argument loading does
//   (for an instance whose __init__ never ran, the zero that
//   zeroed_values.hpp puts there); py::cast(T&&) makes a new
//   instance owning a moved copy, as a bound function's result.
// - CPython resets a slot to its generic function whenever one of the slot's
//   method names is assigned on the type or a base, and a class statement
//   derives a Python subclass's slots from the methods it finds, so a Python
//   subclass gets the generic slots and behaves as before, and our slots only
//   live while the bound methods are the type's own.
// - The bound class has no reflected methods (__radd__, ...); install_*()
//   check it and otherwise leave the slot alone.
//
// Dispatch as before.  For `a + b` CPython calls the nb_add slot of a's type
// and, if b's type differs and has another nb_add, that one too (b's first if
// b's type is a subclass of a's), stopping at the first result that is not
// NotImplemented.  Before, the bound class carried CPython's generic slot,
// which runs a.__add__(b) where a's type carries it, then b.__radd__(a) where
// b's type carries it.  Our slot does the same halves for the operand types
// that carry our slot: it calls a.__add__(b) when a's type has it, then
// b.__radd__(a) when b's type (another type) has it.  When the other operand
// carries CPython's generic slot, CPython calls that slot as well, and it
// runs the other half, as its test for the other type's slot now fails: each
// method is called once and in the same order as before.  In-place forms
// and unary minus ask only the left operand's type, and CPython's generic
// comparison slot calls its own operand's method whatever the other's type
// carries, so those slots just call the method.
#ifndef OSTRELL_FAST_SLOTS_HPP
#define OSTRELL_FAST_SLOTS_HPP

#include <pybind11/pybind11.h>

#include "call_guard.hpp"

namespace fast_slots {

namespace py = pybind11;

// The bound Python type of T, set by install_*().
template <class T> inline PyTypeObject* bound_type = nullptr;

// The value of o if o is exactly the bound type, else null.
template <class T> T* exact_value(PyObject* o)
{
    return Py_TYPE(o) == bound_type<T> ? py::handle(o).cast<T*>() : nullptr;
}

// A new reference to the Python instance holding a moved copy of v.
template <class T> PyObject* new_instance(T&& v)
{
    return py::cast(std::move(v)).release().ptr();
}

// Runs a slot body, turning a C++ exception into the Python error.
template <class F> PyObject* guarded(F&& body) noexcept
{
    return call_guard::guarded<PyObject*>(nullptr, body, "unknown C++ exception in a number slot");
}

// ---- the bound methods, found as CPython's generic slots find them ----------

// The dictionary of t (borrowed).
inline PyObject* dict_of(PyTypeObject* t)
{
#if PY_VERSION_HEX >= 0x030C0000
    PyObject* d = PyType_GetDict(t); // static builtin types keep theirs elsewhere
    Py_XDECREF(d);                   // the type holds it
    return d;
#else
    return t->tp_dict;
#endif
}

// The attribute `name` of type t along its MRO, without the metaclass or
// the instance dictionary (borrowed; null if absent or on an error).
inline PyObject* find_in_mro(PyTypeObject* t, PyObject* name)
{
    PyObject* mro = t->tp_mro;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(mro); ++i) {
        PyObject* d = dict_of(reinterpret_cast<PyTypeObject*>(PyTuple_GET_ITEM(mro, i)));
        PyObject* f = d ? PyDict_GetItemWithError(d, name) : nullptr;
        if (f || PyErr_Occurred())
            return f;
    }
    return nullptr;
}

// self.name(arg), arg null for no argument: the method of type(self) bound
// through its descriptor.  A missing method gives NotImplemented.
inline PyObject* call_method(PyObject* self, PyObject* name, PyObject* arg)
{
    PyObject* f = find_in_mro(Py_TYPE(self), name);
    if (!f) {
        if (PyErr_Occurred())
            return nullptr;
        Py_RETURN_NOTIMPLEMENTED;
    }
    Py_INCREF(f); // the call may replace the dictionary entry
    PyObject* callee = f;
    if (descrgetfunc get = Py_TYPE(f)->tp_descr_get) {
        callee = get(f, self, reinterpret_cast<PyObject*>(Py_TYPE(self)));
        Py_DECREF(f);
        if (!callee)
            return nullptr;
    }
    PyObject* result = arg ? PyObject_CallOneArg(callee, arg) : PyObject_CallNoArgs(callee);
    Py_DECREF(callee);
    return result;
}

inline bool has_reflected(PyTypeObject* t, PyObject* name)
{
    PyObject* f = find_in_mro(t, name);
    PyErr_Clear();
    return f != nullptr;
}

// ---- the operations --------------------------------------------------------

enum class arith { add, sub, mul, div };

template <arith op, class T> T apply(const T& a, const T& b)
{
    if constexpr (op == arith::add) return a + b;
    if constexpr (op == arith::sub) return a - b;
    if constexpr (op == arith::mul) return a * b;
    if constexpr (op == arith::div) return a / b;
}

template <arith op, class T> void apply_in_place(T& a, const T& b)
{
    if constexpr (op == arith::add) a += b;
    if constexpr (op == arith::sub) a -= b;
    if constexpr (op == arith::mul) a *= b;
    if constexpr (op == arith::div) a /= b;
}

// Method names, interned once by install_*().
struct arith_names {
    PyObject* forward;   // __add__
    PyObject* reflected; // __radd__
    PyObject* in_place;  // __iadd__
};
template <arith op> inline arith_names names_of{};

template <arith op> binaryfunc& number_slot(PyNumberMethods* nb)
{
    if constexpr (op == arith::add) return nb->nb_add;
    if constexpr (op == arith::sub) return nb->nb_subtract;
    if constexpr (op == arith::mul) return nb->nb_multiply;
    if constexpr (op == arith::div) return nb->nb_true_divide;
}

template <arith op> binaryfunc& in_place_slot(PyNumberMethods* nb)
{
    if constexpr (op == arith::add) return nb->nb_inplace_add;
    if constexpr (op == arith::sub) return nb->nb_inplace_subtract;
    if constexpr (op == arith::mul) return nb->nb_inplace_multiply;
    if constexpr (op == arith::div) return nb->nb_inplace_true_divide;
}

template <class T, arith op> PyObject* binary(PyObject* a, PyObject* b);

// Whether o's type carries this slot (the bound type, or a type built on it
// by C code, which inherits the slot from it).
template <class T, arith op> bool carries(PyObject* o)
{
    PyNumberMethods* nb = Py_TYPE(o)->tp_as_number;
    return nb && number_slot<op>(nb) == &binary<T, op>;
}

template <class T, arith op> PyObject* binary(PyObject* a, PyObject* b)
{
    return guarded([&]() -> PyObject* {
        T* x = exact_value<T>(a);
        T* y = x ? exact_value<T>(b) : nullptr;
        if (y)
            return new_instance(apply<op>(*x, *y));
        if (carries<T, op>(a)) {
            PyObject* r = call_method(a, names_of<op>.forward, b);
            if (r != Py_NotImplemented)
                return r;
            Py_DECREF(r);
        }
        if (Py_TYPE(b) != Py_TYPE(a) && carries<T, op>(b))
            return call_method(b, names_of<op>.reflected, a);
        Py_RETURN_NOTIMPLEMENTED;
    });
}

// a op= b: the value of a replaced, a itself returned, as the bound method
// returns the instance registered for the value it changed.
template <class T, arith op> PyObject* in_place(PyObject* a, PyObject* b)
{
    return guarded([&]() -> PyObject* {
        T* x = exact_value<T>(a);
        T* y = x ? exact_value<T>(b) : nullptr;
        if (!y)
            return call_method(a, names_of<op>.in_place, b);
        apply_in_place<op>(*x, *y);
        Py_INCREF(a);
        return a;
    });
}

template <class T, arith op> void install_one(PyTypeObject* t, const char* forward, const char* reflected,
                                              const char* in_place_name)
{
    if (!names_of<op>.forward) {
        names_of<op> = {PyUnicode_InternFromString(forward), PyUnicode_InternFromString(reflected),
                        PyUnicode_InternFromString(in_place_name)};
        if (!names_of<op>.forward || !names_of<op>.reflected || !names_of<op>.in_place)
            throw py::error_already_set();
    }
    if (has_reflected(t, names_of<op>.reflected))
        return;
    PyNumberMethods* nb = t->tp_as_number;
    if (number_slot<op>(nb))
        number_slot<op>(nb) = &binary<T, op>;
    if (in_place_slot<op>(nb))
        in_place_slot<op>(nb) = &in_place<T, op>;
}

// Call after every operator of cls is defined (defining one later resets its
// slot to CPython's generic one, which stays correct, only slower).
template <class T, class Class> void install_arithmetic(Class& cls)
{
    auto* t = reinterpret_cast<PyTypeObject*>(cls.ptr());
    bound_type<T> = t;
    install_one<T, arith::add>(t, "__add__", "__radd__", "__iadd__");
    install_one<T, arith::sub>(t, "__sub__", "__rsub__", "__isub__");
    install_one<T, arith::mul>(t, "__mul__", "__rmul__", "__imul__");
    install_one<T, arith::div>(t, "__truediv__", "__rtruediv__", "__itruediv__");
    PyType_Modified(t);
}

// ---- comparisons and unary minus -------------------------------------------

// Method names of the six comparisons in the order of Py_LT ... Py_GE, and __neg__.
inline PyObject* compare_names[6];
inline PyObject* negative_name;

template <class T> bool compare(const T& a, const T& b, int op)
{
    switch (op) {
    case Py_LT: return a < b;
    case Py_LE: return a <= b;
    case Py_EQ: return a == b;
    case Py_NE: return a != b;
    case Py_GT: return a > b;
    default: return a >= b;
    }
}

template <class T> PyObject* rich_compare(PyObject* a, PyObject* b, int op)
{
    return guarded([&]() -> PyObject* {
        T* x = exact_value<T>(a);
        T* y = x ? exact_value<T>(b) : nullptr;
        if (!y)
            return call_method(a, compare_names[op], b);
        return PyBool_FromLong(compare(*x, *y, op));
    });
}

template <class T> PyObject* negative(PyObject* a)
{
    return guarded([&]() -> PyObject* {
        if (T* x = exact_value<T>(a))
            return new_instance(T(-*x));
        return call_method(a, negative_name, nullptr);
    });
}

// Comparisons and unary minus; call after they are defined.
template <class T, class Class> void install_comparisons(Class& cls)
{
    auto* t = reinterpret_cast<PyTypeObject*>(cls.ptr());
    bound_type<T> = t;
    const char* names[6] = {"__lt__", "__le__", "__eq__", "__ne__", "__gt__", "__ge__"};
    for (int op = 0; op < 6; ++op)
        if (!(compare_names[op] = PyUnicode_InternFromString(names[op])))
            throw py::error_already_set();
    if (!(negative_name = PyUnicode_InternFromString("__neg__")))
        throw py::error_already_set();
    if (t->tp_richcompare)
        t->tp_richcompare = &rich_compare<T>;
    if (t->tp_as_number->nb_negative)
        t->tp_as_number->nb_negative = &negative<T>;
    PyType_Modified(t);
}

} // namespace fast_slots

#endif // OSTRELL_FAST_SLOTS_HPP
