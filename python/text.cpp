// ostrell_numpy's exact decimal text: format, parse, format_rows, parse_rows.
//
// format writes ostrell_format's text (digits 0: the shortest text that
// parse reads back as the same pair; d > 0: d correctly rounded digits).
// parse reads a whole text as float() does (surrounding whitespace allowed),
// into the canonical pair of its exact value; overflow gives +-inf and
// underflow the correctly rounded pair, as float() gives.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "ostrell.hpp"
#include "ostrell_text.h"
#include "row_arrays.hpp"
#include "whole_text.hpp"

namespace py = pybind11;

namespace {

py::str format_pair(ostrell_t x, int digits)
{
    char buf[1024];
    std::size_t n = ostrell_format(buf, sizeof buf, x, digits);
    if (n < sizeof buf)
        return py::str(buf, n);
    std::string big(n + 1, '\0');
    ostrell_format(&big[0], big.size(), x, digits);
    return py::str(big.data(), n);
}

int checked_digits(int digits)
{
    if (digits < 0)
        throw py::value_error("digits must be 0 (shortest) or a positive count of significant digits");
    return digits;
}

// The pair of a whole text (str or bytes); false when it is not a number.
bool parse_text(py::handle text, ostrell_t& out)
{
    py::object held;
    const char* p;
    Py_ssize_t n;
    if (PyUnicode_Check(text.ptr())) {
        p = PyUnicode_AsUTF8AndSize(text.ptr(), &n);
        if (!p)
            throw py::error_already_set();
        // Other Unicode whitespace at an end: let str.strip() take it off.
        if (n > 0 && ((unsigned char)p[0] >= 0x80 || (unsigned char)p[n - 1] >= 0x80)) {
            held = text.attr("strip")();
            p = PyUnicode_AsUTF8AndSize(held.ptr(), &n);
            if (!p)
                throw py::error_already_set();
        }
    } else if (PyBytes_Check(text.ptr())) {
        char* q;
        if (PyBytes_AsStringAndSize(text.ptr(), &q, &n) != 0)
            throw py::error_already_set();
        p = q;
    } else {
        throw py::type_error("expected a str or bytes, not " + std::string(py::str(py::type::of(text).attr("__name__"))));
    }
    return whole_text::read(p, p + n, &out);
}

std::string not_a_number(py::handle text)
{
    return "could not convert string to Float128: " + std::string(py::repr(text));
}

ostrell::float128 parse(py::handle text)
{
    ostrell_t v;
    if (!parse_text(text, v))
        throw py::value_error(not_a_number(text));
    return ostrell::float128(v);
}

py::str format(const ostrell::float128& x, int digits) { return format_pair(x.data, checked_digits(digits)); }

// rows converted by NumPy, whose own error passes through (as for the
// companion's other array arguments).
py::list format_rows(const py::object& rows, int digits)
{
    checked_digits(digits);
    const row_arrays::f64_in a(rows);
    row_arrays::require_pairs(a);
    const auto n = static_cast<std::size_t>(a.shape(0));
    const double* p = a.data();
    py::list out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = format_pair(ostrell_from_hi_lo(p[2 * i], p[2 * i + 1]), digits);
    return out;
}

py::array_t<double> parse_rows(const py::iterable& texts)
{
    if (py::isinstance<py::str>(texts) || py::isinstance<py::bytes>(texts))
        throw py::type_error("parse_rows: expected an iterable of texts, not a single "
                             + std::string(py::str(py::type::of(texts).attr("__name__"))));
    std::vector<double> held;
    std::size_t i = 0;
    for (py::handle item : texts) {
        if (!py::isinstance<py::str>(item) && !py::isinstance<py::bytes>(item))
            throw py::type_error("parse_rows: item " + std::to_string(i) + " must be a str or bytes, not "
                                 + std::string(py::str(py::type::of(item).attr("__name__"))));
        ostrell_t v;
        if (!parse_text(item, v))
            throw py::value_error("parse_rows: item " + std::to_string(i) + ": " + not_a_number(item));
        row_arrays::push_row(held, v);
        ++i;
    }
    return row_arrays::rows_from(held);
}

} // namespace

void register_text(py::module_& m)
{
    m.def("format", &format, py::arg("x"), py::arg("digits") = 0,
          "the decimal text of x: shortest that parse reads back (digits 0) or digits correctly rounded digits");
    m.def("parse", &parse, py::arg("text"), "the canonical pair of the exact value of a whole decimal text");
    m.def("format_rows", &format_rows, py::arg("rows"), py::arg("digits") = 0, "format of each row");
    m.def("parse_rows", &parse_rows, py::arg("texts"), "(N, 2) rows of the texts, each read as parse reads it");
}
