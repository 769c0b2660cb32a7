// The Python extension module `ostrell`: binds the value classes.
//
// The text and byte conversions of ostrell_io.h are compiled here as
// external functions with default visibility, so the shared object exports
// them under their plain C names beside PyInit_ostrell.
#define OSTRELL_IO_EXPORT
#include "ostrell_io.h"

#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "ostrell.hpp"

namespace py = pybind11;
using ostrell::float128;

namespace {

// Any array-like, converted to float64 by NumPy; a float64 array is taken
// as it is, whatever its strides.
using f64_array = py::array_t<double, py::array::forcecast>;

using binary_op = ostrell_t (*)(ostrell_t, ostrell_t);

// Row i of an (N, 2) array read through its byte strides, so that sliced,
// transposed, reversed, broadcast or unaligned arrays give their logical
// elements (i, 0) and (i, 1).
inline ostrell_t load_row(const char* base, py::ssize_t s0, py::ssize_t s1, py::ssize_t i)
{
    double hi, lo;
    std::memcpy(&hi, base + i * s0, sizeof hi);
    std::memcpy(&lo, base + i * s0 + s1, sizeof lo);
    return ostrell_from_hi_lo(hi, lo);
}

inline bool is_row_major_pairs(const f64_array& a)
{
    return a.strides(0) == 2 * py::ssize_t(sizeof(double)) && a.strides(1) == py::ssize_t(sizeof(double));
}

inline bool is_pairs(const f64_array& a) { return a.ndim() == 2 && a.shape(1) == 2; }

// Applies op row by row, the first array's row as left operand, into a new
// C-contiguous (N, 2) float64 array.  The arguments are only read.
template <binary_op op>
f64_array rowwise(const f64_array& a, const f64_array& b)
{
    if (!is_pairs(a) || !is_pairs(b))
        throw std::runtime_error("Inputs must have shape (N, 2)");
    if (a.shape(0) != b.shape(0))
        throw std::runtime_error("Input shapes must match");

    const py::ssize_t n = a.shape(0);
    f64_array result({n, py::ssize_t(2)});
    double* out = result.mutable_data();

    if (is_row_major_pairs(a) && is_row_major_pairs(b)) {
        const double* pa = a.data();
        const double* pb = b.data();
        for (py::ssize_t i = 0; i < n; ++i)
            _mm_storeu_pd(out + 2 * i, op(_mm_loadu_pd(pa + 2 * i), _mm_loadu_pd(pb + 2 * i)));
    } else {
        const char* pa = reinterpret_cast<const char*>(a.data());
        const char* pb = reinterpret_cast<const char*>(b.data());
        const py::ssize_t a0 = a.strides(0), a1 = a.strides(1);
        const py::ssize_t b0 = b.strides(0), b1 = b.strides(1);
        for (py::ssize_t i = 0; i < n; ++i)
            _mm_storeu_pd(out + 2 * i, op(load_row(pa, a0, a1, i), load_row(pb, b0, b1, i)));
    }
    return result;
}

} // namespace

PYBIND11_MODULE(ostrell, m)
{
    // 1. Docstring.
    m.doc() = "ostrell: 128-bit double-double arithmetic module";

    // 2. Float128.
    py::class_<float128>(m, "Float128")
        .def(py::init<>())
        .def(py::init<double>())
        // str, bytes or bytearray; the parser stops at the first NUL.
        .def(py::init([](const std::string& s) { return float128(ostrell_from_string(s.c_str())); }))
        .def("to_string", &float128::to_string)
        .def("__str__", &float128::to_string)
        .def("__repr__", [](const float128& self) { return "Float128('" + self.to_string() + "')"; })
        .def(py::self + py::self)
        .def(py::self - py::self)
        .def(py::self * py::self)
        .def(py::self / py::self)
        .def(py::self += py::self)
        .def(py::self -= py::self)
        .def(py::self *= py::self)
        .def(py::self /= py::self)
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def(py::self < py::self)
        .def(py::self <= py::self)
        .def(py::self > py::self)
        .def(py::self >= py::self)
        .def(-py::self);

    // 3. Complex128.
    // 4. Module functions (the Float128 form of each name first).
    // 5. Implicit conversion into Complex128.
    // 6. Constants pi, e, sqrt2, ln2.

    // 7. Array functions.
    m.def("add_arrays", &rowwise<ostrell_add>, "element-wise addition of (N, 2) arrays");
    m.def("sub_arrays", &rowwise<ostrell_sub>, "element-wise subtraction of (N, 2) arrays");
    m.def("mul_arrays", &rowwise<ostrell_mul>, "element-wise multiplication of (N, 2) arrays");
    m.def("div_arrays", &rowwise<ostrell_div>, "element-wise division of (N, 2) arrays");
}
