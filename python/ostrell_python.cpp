// The Python extension module `ostrell`: binds the value classes.
//
// The text and byte conversions of ostrell_io.h are compiled here as
// external functions with default visibility, so the shared object exports
// them under their plain C names beside PyInit_ostrell.
#define OSTRELL_IO_EXPORT
#include "ostrell_io.h"

#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "fast_slots.hpp"
#include "zeroed_values.hpp"
#include "ostrell.hpp"
#include "ostrell_batch.h"
#include "ostrell_complex.hpp"

namespace py = pybind11;
using ostrell::complex128;
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

// The batch function of each kernel (ostrell_batch.h): vector bodies on the
// widest path the CPU has, the kernel's bits on every row.
using batch_fn = void (*)(const double*, const double*, double*, size_t);
template <binary_op op> constexpr batch_fn batch_of = nullptr;
template <> constexpr batch_fn batch_of<ostrell_add> = ostrell_batch_add;
template <> constexpr batch_fn batch_of<ostrell_sub> = ostrell_batch_sub;
template <> constexpr batch_fn batch_of<ostrell_mul> = ostrell_batch_mul;
template <> constexpr batch_fn batch_of<ostrell_div> = ostrell_batch_div;

// C-contiguous rows: the batch function over all of them.
template <binary_op op>
void rows_contiguous(const double* pa, const double* pb, double* out, py::ssize_t n)
{
    batch_of<op>(pa, pb, out, size_t(n));
}

// The loop over rows of any strides, the kernel inlined likewise.
template <binary_op op>
__attribute__((flatten)) void rows_strided(const char* pa, py::ssize_t a0, py::ssize_t a1,
                                           const char* pb, py::ssize_t b0, py::ssize_t b1,
                                           double* out, py::ssize_t n)
{
    for (py::ssize_t i = 0; i < n; ++i)
        _mm_storeu_pd(out + 2 * i, op(load_row(pa, a0, a1, i), load_row(pb, b0, b1, i)));
}

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
        rows_contiguous<op>(a.data(), b.data(), out, n);
    } else {
        rows_strided<op>(reinterpret_cast<const char*>(a.data()), a.strides(0), a.strides(1),
                         reinterpret_cast<const char*>(b.data()), b.strides(0), b.strides(1), out, n);
    }
    return result;
}

// The text of x (what float128::to_string gives) made into a Python str
// straight from the formatter's buffer, with no std::string in between.
// repr wraps the same text as Float128('...') in the same buffer.
constexpr char repr_open[] = "Float128('";
constexpr char repr_close[] = "')";
constexpr std::size_t text_size = 128;

py::str text_of(const float128& x)
{
    char buf[text_size];
    ostrell_to_string(buf, sizeof buf, x.data);
    return py::str(buf);
}

py::str repr_of(const float128& x)
{
    char buf[sizeof repr_open - 1 + text_size + sizeof repr_close];
    std::memcpy(buf, repr_open, sizeof repr_open - 1);
    char* text = buf + sizeof repr_open - 1;
    ostrell_to_string(text, text_size, x.data);
    std::memcpy(text + std::strlen(text), repr_close, sizeof repr_close);
    return py::str(buf);
}

// The four arithmetic operators, then their in-place forms, on two values of
// the bound class (other operand types get NotImplemented).
template <class Class> void def_arithmetic(Class& cls)
{
    cls.def(py::self + py::self)
        .def(py::self - py::self)
        .def(py::self * py::self)
        .def(py::self / py::self)
        .def(py::self += py::self)
        .def(py::self -= py::self)
        .def(py::self *= py::self)
        .def(py::self /= py::self);
}

} // namespace

PYBIND11_MODULE(ostrell, m)
{
    // 1. Docstring.
    m.doc() = "ostrell: 128-bit double-double arithmetic module";

    // 2. Float128.  An instance whose __init__ never ran holds a zero
    // (zeroed_values.hpp), as does a Complex128.
    py::class_<float128> float128_class(m, "Float128", zeroed_values::zeroed_new_setup<float128>());
    float128_class
        .def(py::init<>())
        .def(py::init<double>())
        // str, bytes or bytearray; the parser stops at the first NUL.
        .def(py::init([](const std::string& s) { return float128(ostrell_from_string(s.c_str())); }))
        .def("to_string", &text_of)
        .def("__str__", &text_of)
        .def("__repr__", &repr_of);
    def_arithmetic(float128_class);
    float128_class
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def(py::self < py::self)
        .def(py::self <= py::self)
        .def(py::self > py::self)
        .def(py::self >= py::self)
        .def(-py::self);

    // 3. Complex128.  The std::complex<double> constructor comes last, for a
    // Python complex: each part becomes one binary64 number with a zero low
    // part.  A float or an int matches the (real, imag) float constructor
    // first, so only a complex (or an object convertible to complex alone)
    // reaches it.
    py::class_<complex128> complex128_class(m, "Complex128", zeroed_values::zeroed_new_setup<complex128>());
    complex128_class
        .def(py::init<>())
        .def(py::init<double, double>(), py::arg("real"), py::arg("imag") = 0.0)
        .def(py::init<float128, float128>(), py::arg("real"), py::arg("imag") = float128())
        .def(py::init<const std::complex<double>&>())
        .def("real", &complex128::real)
        .def("imag", &complex128::imag)
        .def("to_string", &complex128::to_string)
        .def("__str__", &complex128::to_string)
        .def("__repr__", &complex128::to_string);
    def_arithmetic(complex128_class);

    // Number and comparison slots that compute directly on two operands of
    // exactly the class (fast_slots.hpp); after every operator is defined.
    fast_slots::install_arithmetic<float128>(float128_class);
    fast_slots::install_comparisons<float128>(float128_class);
    fast_slots::install_arithmetic<complex128>(complex128_class);

    // 4. Module functions.  Where a name has two forms the Float128 form is
    // registered first, so a Float128 argument always selects it.
    using real_fn = float128 (*)(float128);
    using real_fn2 = float128 (*)(float128, float128);
    using complex_fn = complex128 (*)(const complex128&);
    using modulus_fn = float128 (*)(const complex128&);
    using test_fn = bool (*)(float128);
    m.def("exp", real_fn(&ostrell::exp));
    m.def("log", real_fn(&ostrell::log));
    m.def("pow", real_fn2(&ostrell::pow));
    m.def("sin", real_fn(&ostrell::sin));
    m.def("sin", complex_fn(&ostrell::sin));
    m.def("cos", real_fn(&ostrell::cos));
    m.def("cos", complex_fn(&ostrell::cos));
    m.def("tan", real_fn(&ostrell::tan));
    m.def("tan", complex_fn(&ostrell::tan));
    m.def("sinh", real_fn(&ostrell::sinh));
    m.def("sinh", complex_fn(&ostrell::sinh));
    m.def("cosh", real_fn(&ostrell::cosh));
    m.def("cosh", complex_fn(&ostrell::cosh));
    m.def("tanh", real_fn(&ostrell::tanh));
    m.def("tanh", complex_fn(&ostrell::tanh));
    m.def("sqrt", real_fn(&ostrell::sqrt));
    m.def("abs", real_fn(&ostrell::abs));
    m.def("abs", modulus_fn(&ostrell::abs));
    m.def("floor", real_fn(&ostrell::floor));
    m.def("ceil", real_fn(&ostrell::ceil));
    m.def("trunc", real_fn(&ostrell::trunc));
    m.def("round", real_fn(&ostrell::round));
    m.def("fmod", real_fn2(&ostrell::fmod));
    m.def("atan", real_fn(&ostrell::atan));
    m.def("atan2", real_fn2(&ostrell::atan2));
    m.def("asin", real_fn(&ostrell::asin));
    m.def("acos", real_fn(&ostrell::acos));
    m.def("isnan", test_fn(&ostrell::isnan));
    m.def("isinf", test_fn(&ostrell::isinf));
    m.def("abs_sqr", modulus_fn(&ostrell::abs_sqr));

    // 5. A Python complex, float or int converts wherever a Complex128 is
    // expected (x becomes x + 0i).  Nothing converts into Float128.
    py::implicitly_convertible<std::complex<double>, complex128>();

    // 6. Constants: each attribute is its own Float128 object, a copy of the
    // namespace constant, so in-place operators on it leave the C++ constant
    // alone.
    m.attr("pi") = ostrell::pi;
    m.attr("e") = ostrell::e;
    m.attr("sqrt2") = ostrell::sqrt2;
    m.attr("ln2") = ostrell::ln2;

    // 7. Array functions.
    m.def("add_arrays", &rowwise<ostrell_add>, "element-wise addition of (N, 2) arrays");
    m.def("sub_arrays", &rowwise<ostrell_sub>, "element-wise subtraction of (N, 2) arrays");
    m.def("mul_arrays", &rowwise<ostrell_mul>, "element-wise multiplication of (N, 2) arrays");
    m.def("div_arrays", &rowwise<ostrell_div>, "element-wise division of (N, 2) arrays");
}
