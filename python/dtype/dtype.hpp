// dtype.hpp: the one entry point of the NumPy dtype, for the module glue
// (no NumPy header needed).
#ifndef OSTRELL_DTYPE_HPP
#define OSTRELL_DTYPE_HPP

#include <Python.h>

namespace ostrell_dtype {

// Creates Float128DType and adds to `module` the class, its instance
// float128_dtype, as_float128 and as_rows; registers the
// casts and ufunc loops.  Returns -1 with a Python error set on failure.
int install(PyObject* module);

} // namespace ostrell_dtype

#endif
