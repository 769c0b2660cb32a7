// call_guard.hpp: C++ code run where CPython or NumPy calls a C function (a
// type slot, a DType slot): a C++ exception becomes the Python error, as
// pybind11 turns those of a bound function, and the function returns `fail`.
#ifndef OSTRELL_CALL_GUARD_HPP
#define OSTRELL_CALL_GUARD_HPP

#include <pybind11/pybind11.h>

#include <exception>
#include <new>

namespace call_guard {

namespace py = pybind11;

// body(), or fail with the Python error set; `unknown` is the RuntimeError's
// text for an exception that is no std::exception.
template <class R, class F>
R guarded(R fail, F&& body, const char* unknown = "unknown C++ exception") noexcept
{
    try {
        return body();
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, unknown);
    }
    return fail;
}

} // namespace call_guard

#endif // OSTRELL_CALL_GUARD_HPP
