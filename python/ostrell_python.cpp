// The Python extension module `ostrell`: binds the value classes.
//
// The text and byte conversions of ostrell_io.h are compiled here as
// external functions with default visibility, so the shared object exports
// them under their plain C names beside PyInit_ostrell.
#define OSTRELL_IO_EXPORT
#include "ostrell_io.h"

#include <pybind11/pybind11.h>

#include "ostrell.hpp"

namespace py = pybind11;

PYBIND11_MODULE(ostrell, m)
{
    // 1. Docstring.
    m.doc() = "ostrell: 128-bit double-double arithmetic module";

    // 2. Float128.
    // 3. Complex128.
    // 4. Module functions (the Float128 form of each name first).
    // 5. Implicit conversion into Complex128.
    // 6. Constants pi, e, sqrt2, ln2.
    // 7. Array functions.
}
