// The Python extension module `ostrell_numpy`: the library's functions over
// NumPy arrays of rows, lossless conversions between rows, Float128 objects,
// float64 values and text, and sums and dot products in double-double.
//
// A row is one double-double value (high part, low part) in a C-contiguous
// (N, 2) float64 array, as for ostrell.add_arrays.  Float128 and Complex128
// objects are the `ostrell` module's own: it is imported at start-up and its
// registered types are used through pybind11's cast, so objects pass between
// the two modules unchanged.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ostrell.hpp"
#include "ostrell_complex.hpp"
#include "ostrell_batch.h"
#include "ostrell_io.h"
#include "ostrell_reduce.h"

#include "dtype/dtype.hpp"
#include "row_arrays.hpp"

namespace py = pybind11;
using ostrell::complex128;
using ostrell::float128;

namespace {

using row_arrays::f64_array;
using row_arrays::f64_in;
using row_arrays::is_pairs;
using row_arrays::push_row;
using row_arrays::require_pairs;
using row_arrays::rows_from;

using unary_batch = void (*)(const double*, double*, std::size_t);
using binary_batch = void (*)(const double*, const double*, double*, std::size_t);

void require_pairs(const f64_in& a, const f64_in& b)
{
    if (!is_pairs(a) || !is_pairs(b))
        throw std::runtime_error("Inputs must have shape (N, 2)");
    if (a.shape(0) != b.shape(0))
        throw std::runtime_error("Input shapes must match");
}

void require_values(const f64_in& x)
{
    if (x.ndim() != 1)
        throw std::runtime_error("Input must have shape (N,)");
}

inline std::size_t rows_of(const f64_in& a) { return static_cast<std::size_t>(a.shape(0)); }

f64_array new_rows(std::size_t n) { return f64_array({py::ssize_t(n), py::ssize_t(2)}); }

// Runs f without the GIL when the loop is long enough to matter.  The
// arrays it reads are held by the caller and the result is not yet visible
// to Python, so no other thread can free or resize them meanwhile.
constexpr std::size_t gil_free_rows = 2048;

template <class F> void compute(std::size_t n, F&& f)
{
    if (n >= gil_free_rows) {
        py::gil_scoped_release release;
        f();
    } else {
        f();
    }
}

template <unary_batch f> f64_array unary(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    f64_array out = new_rows(n);
    double* po = out.mutable_data();
    compute(n, [&] { f(a.data(), po, n); });
    return out;
}

template <binary_batch f> f64_array binary(const f64_in& a, const f64_in& b)
{
    require_pairs(a, b);
    const std::size_t n = rows_of(a);
    f64_array out = new_rows(n);
    double* po = out.mutable_data();
    compute(n, [&] { f(a.data(), b.data(), po, n); });
    return out;
}

std::pair<f64_array, f64_array> sincos_rows(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    f64_array s = new_rows(n), c = new_rows(n);
    double* ps = s.mutable_data();
    double* pc = c.mutable_data();
    compute(n, [&] { ostrell_batch_sincos(a.data(), ps, pc, n); });
    return {s, c};
}

// ---- conversions --------------------------------------------------------------

void store_row(double* out, ostrell_t x) { _mm_storeu_pd(out, x); }

// The rows of an iterable of Float128 objects, the pairs taken as they are.
f64_array to_rows(const py::iterable& values)
{
    const py::object cls = py::module_::import("ostrell").attr("Float128");
    std::vector<double> held; // hi, lo, hi, lo, ...
    for (py::handle item : values) {
        if (!py::isinstance(item, cls))
            throw py::type_error("to_rows: every item must be an ostrell.Float128, not "
                                 + std::string(py::str(py::type::of(item).attr("__name__"))));
        push_row(held, item.cast<const float128&>().data);
    }
    return rows_from(held);
}

// Complex128 objects as (N, 4) rows: real high, real low, imaginary high,
// imaginary low; and back.  Bits unchanged both ways.
f64_array to_complex_rows(const py::iterable& values)
{
    const py::object cls = py::module_::import("ostrell").attr("Complex128");
    std::vector<double> held;
    for (py::handle item : values) {
        if (!py::isinstance(item, cls))
            throw py::type_error("to_complex_rows: every item must be an ostrell.Complex128, not "
                                 + std::string(py::str(py::type::of(item).attr("__name__"))));
        const complex128& z = item.cast<const complex128&>();
        push_row(held, z.data.real);
        push_row(held, z.data.imag);
    }
    return rows_from(held, 4);
}

py::list from_complex_rows(const f64_in& a)
{
    if (a.ndim() != 2 || a.shape(1) != 4)
        throw std::runtime_error("Input must have shape (N, 4)");
    const std::size_t n = rows_of(a);
    const double* p = a.data();
    py::list out(n);
    for (std::size_t i = 0; i < n; ++i) {
        ostrell_complex z = {ostrell_from_hi_lo(p[4 * i], p[4 * i + 1]),
                             ostrell_from_hi_lo(p[4 * i + 2], p[4 * i + 3])};
        out[i] = py::cast(complex128(z));
    }
    return out;
}

// One Float128 per row, the pair taken as it is (no renormalisation).
py::list from_rows(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    const double* p = a.data();
    py::list out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = py::cast(float128(ostrell_from_hi_lo(p[2 * i], p[2 * i + 1])));
    return out;
}

// Each value v as the row (v, +0): exact.
f64_array from_float64(const f64_in& x)
{
    require_values(x);
    const std::size_t n = static_cast<std::size_t>(x.shape(0));
    f64_array out = new_rows(n);
    const double* px = x.data();
    double* po = out.mutable_data();
    compute(n, [&] {
        for (std::size_t i = 0; i < n; ++i) {
            po[2 * i] = px[i];
            po[2 * i + 1] = 0.0;
        }
    });
    return out;
}

// The binary64 nearest to each row's value: hi + lo rounded once is the
// correctly rounded sum of the two parts.  A zero low part gives the high
// part as it is, so (-0, +0) stays -0 and a NaN keeps its bits.
f64_array to_float64(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    f64_array out{py::ssize_t(n)};
    const double* p = a.data();
    double* po = out.mutable_data();
    compute(n, [&] {
        for (std::size_t i = 0; i < n; ++i)
            po[i] = p[2 * i + 1] == 0.0 ? p[2 * i] : p[2 * i] + p[2 * i + 1];
    });
    return out;
}

// The text of each row, as str(Float128) writes it.
py::list to_strings(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    const double* p = a.data();
    py::list out(n);
    char buf[128];
    for (std::size_t i = 0; i < n; ++i) {
        ostrell_to_string(buf, sizeof buf, ostrell_from_hi_lo(p[2 * i], p[2 * i + 1]));
        out[i] = py::str(buf);
    }
    return out;
}

// Each str (or bytes) read as Float128(text) reads it.
f64_array from_strings(const py::iterable& texts)
{
    // A lone text is iterable too, but as characters: not what was meant.
    if (py::isinstance<py::str>(texts) || py::isinstance<py::bytes>(texts))
        throw py::type_error("from_strings: expected an iterable of texts, not a single "
                             + std::string(py::str(py::type::of(texts).attr("__name__"))));
    std::vector<double> held; // hi, lo, hi, lo, ...
    for (py::handle item : texts) {
        if (!py::isinstance<py::str>(item) && !py::isinstance<py::bytes>(item))
            throw py::type_error("from_strings: every item must be a str or bytes, not "
                                 + std::string(py::str(py::type::of(item).attr("__name__"))));
        push_row(held, ostrell_from_string(item.cast<std::string>().c_str()));
    }
    return rows_from(held);
}

// ---- reductions ---------------------------------------------------------------

f64_array row_of(ostrell_t x)
{
    f64_array out{py::ssize_t(2)};
    store_row(out.mutable_data(), x);
    return out;
}

f64_array sum_rows(const f64_in& a)
{
    require_pairs(a);
    const std::size_t n = rows_of(a);
    ostrell_t r;
    compute(n, [&] { r = ostrell_sum_rows(a.data(), n); });
    return row_of(r);
}

f64_array dot_rows(const f64_in& a, const f64_in& b)
{
    require_pairs(a, b);
    const std::size_t n = rows_of(a);
    ostrell_t r;
    compute(n, [&] { r = ostrell_dot_rows(a.data(), b.data(), n); });
    return row_of(r);
}

f64_array sum_float64(const f64_in& x)
{
    require_values(x);
    const std::size_t n = static_cast<std::size_t>(x.shape(0));
    ostrell_t r;
    compute(n, [&] { r = ostrell_sum_f64(x.data(), n); });
    return row_of(r);
}

// The bound form of f: each argument an object that NumPy converts as
// f64_in says (numpy.ascontiguousarray(x, dtype=numpy.float64)), so that
// NumPy's own error passes through (MemoryError for a copy too large,
// ValueError for ragged nesting, TypeError naming what does not convert)
// instead of pybind11's "incompatible function arguments".
template <auto f> struct numpy_args;
template <class R, class... A, R (*f)(A...)> struct numpy_args<f> {
    template <class> using object = const py::object&;
    static R call(object<A>... args) { return f(f64_in(args)...); }
};

// The path add, sub, mul and div take: the dispatcher's choice, or one that
// the private hook _force_isa set (benchmarks and tests of the other paths).
// Read in the loops without the GIL, hence atomic.
std::atomic<int> forced_isa{-1};

template <void (*f)(ostrell_isa, const double*, const double*, double*, std::size_t)>
void on_path(const double* a, const double* b, double* out, std::size_t n)
{
    int isa = forced_isa.load(std::memory_order_relaxed);
    f(isa < 0 ? ostrell_isa_best() : static_cast<ostrell_isa>(isa), a, b, out, n);
}

void force_isa(const std::optional<std::string>& name)
{
    int isa = -1;
    if (name) {
        if (*name == "sse2") isa = OSTRELL_ISA_SSE2;
        else if (*name == "avx2") isa = OSTRELL_ISA_AVX2;
        else if (*name == "avx512") isa = OSTRELL_ISA_AVX512;
        else throw py::value_error("unknown path: " + *name + " (sse2, avx2 or avx512)");
        if (!ostrell_isa_supported(static_cast<ostrell_isa>(isa)))
            throw py::value_error("this CPU has no " + *name + " path");
    }
    forced_isa.store(isa, std::memory_order_relaxed);
}

const char* isa_name(ostrell_isa isa)
{
    switch (isa) {
    case OSTRELL_ISA_AVX512: return "avx512";
    case OSTRELL_ISA_AVX2: return "avx2";
    default: return "sse2";
    }
}

} // namespace

// python/text.cpp: format, parse, format_rows, parse_rows.
void register_text(py::module_& m);
// The linalg submodule (numpy_linalg.cpp) and the dtype's matmul and vecdot
// loops (dtype/matmul.cpp).
void ostrell_numpy_add_linalg(py::module_& m);
namespace ostrell_dtype {
int register_linalg_loops();
}

PYBIND11_MODULE(ostrell_numpy, m)
{
    m.doc() = "ostrell_numpy: ostrell's functions, conversions and reductions on (N, 2) float64 arrays";

    // Float128 objects are the ostrell module's; importing it registers the type.
    py::module_::import("ostrell");

    // Element-wise functions: row i of the result has the bits of the scalar
    // function on row i.
    m.def("sqrt", &numpy_args<&unary<ostrell_batch_sqrt>>::call, "square root of each row");
    m.def("exp", &numpy_args<&unary<ostrell_batch_exp>>::call, "exponential of each row");
    m.def("log", &numpy_args<&unary<ostrell_batch_log>>::call, "natural logarithm of each row");
    m.def("pow", &numpy_args<&binary<ostrell_batch_pow>>::call, "a ** b row by row");
    m.def("sin", &numpy_args<&unary<ostrell_batch_sin>>::call, "sine of each row");
    m.def("cos", &numpy_args<&unary<ostrell_batch_cos>>::call, "cosine of each row");
    m.def("sincos", &numpy_args<&sincos_rows>::call, "(sine, cosine) of each row");
    m.def("tan", &numpy_args<&unary<ostrell_batch_tan>>::call, "tangent of each row");
    m.def("sinh", &numpy_args<&unary<ostrell_batch_sinh>>::call, "hyperbolic sine of each row");
    m.def("cosh", &numpy_args<&unary<ostrell_batch_cosh>>::call, "hyperbolic cosine of each row");
    m.def("tanh", &numpy_args<&unary<ostrell_batch_tanh>>::call, "hyperbolic tangent of each row");
    m.def("atan", &numpy_args<&unary<ostrell_batch_atan>>::call, "arc tangent of each row");
    m.def("atan2", &numpy_args<&binary<ostrell_batch_atan2>>::call, "atan2(y, x) row by row");
    m.def("asin", &numpy_args<&unary<ostrell_batch_asin>>::call, "arc sine of each row");
    m.def("acos", &numpy_args<&unary<ostrell_batch_acos>>::call, "arc cosine of each row");
    m.def("floor", &numpy_args<&unary<ostrell_batch_floor>>::call, "floor of each row");
    m.def("ceil", &numpy_args<&unary<ostrell_batch_ceil>>::call, "ceiling of each row");
    m.def("trunc", &numpy_args<&unary<ostrell_batch_trunc>>::call, "each row rounded toward zero");
    m.def("round", &numpy_args<&unary<ostrell_batch_round>>::call, "each row rounded to the nearest integer, ties away from zero");
    m.def("fmod", &numpy_args<&binary<ostrell_batch_fmod>>::call, "fmod(a, b) row by row");
    m.def("add", &numpy_args<&binary<on_path<ostrell_batch_add_isa>>>::call, "a + b row by row");
    m.def("sub", &numpy_args<&binary<on_path<ostrell_batch_sub_isa>>>::call, "a - b row by row");
    m.def("mul", &numpy_args<&binary<on_path<ostrell_batch_mul_isa>>>::call, "a * b row by row");
    m.def("div", &numpy_args<&binary<on_path<ostrell_batch_div_isa>>>::call, "a / b row by row");

    // Conversions.
    m.def("to_rows", &to_rows, "(N, 2) rows of an iterable of ostrell.Float128, bit for bit");
    m.def("from_rows", &numpy_args<&from_rows>::call, "one ostrell.Float128 per row, bit for bit");
    m.def("to_complex_rows", &to_complex_rows,
          "(N, 4) rows (real hi, real lo, imag hi, imag lo) of an iterable of ostrell.Complex128");
    m.def("from_complex_rows", &numpy_args<&from_complex_rows>::call, "one ostrell.Complex128 per (N, 4) row, bit for bit");
    m.def("from_float64", &numpy_args<&from_float64>::call, "each float64 value v as the exact row (v, 0)");
    m.def("to_float64", &numpy_args<&to_float64>::call, "the float64 nearest to each row's value");
    m.def("to_strings", &numpy_args<&to_strings>::call, "the text of each row, as str(Float128)");
    m.def("from_strings", &from_strings, "rows of texts read as Float128(text)");
    register_text(m);

    // Reductions, each giving one row (hi, lo).
    m.def("sum", &numpy_args<&sum_rows>::call, "sum of the rows of an (N, 2) array, in double-double");
    m.def("dot", &numpy_args<&dot_rows>::call, "sum of the row products a[i] * b[i], in double-double");
    m.def("sum_float64", &numpy_args<&sum_float64>::call, "compensated sum of a float64 array, as a double-double row");

    m.attr("isa") = isa_name(ostrell_isa_best());
    // Private: runs add, sub, mul and div on the named path ("sse2", "avx2",
    // "avx512"; None: the best one), for benchmarks and tests.
    m.def("_force_isa", &force_isa, py::arg("name").none(true));

    // The NumPy dtype of Float128 values (python/dtype/).
    if (ostrell_dtype::install(m.ptr()) < 0)
        throw py::error_already_set();
    // Its np.matmul and np.vecdot loops on ostrell_gemm (python/dtype/matmul.cpp).
    if (ostrell_dtype::register_linalg_loops() < 0)
        throw py::error_already_set();

    // The linear algebra submodule, after the dtype.
    ostrell_numpy_add_linalg(m);
}
