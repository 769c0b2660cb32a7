// row_arrays.hpp: the companion's float64 arrays of rows as its functions
// take them (any array-like, converted by NumPy to float64 and copied where
// its layout is not already C-contiguous: the batch functions read rows at a
// stride of two doubles) and give them (new C-contiguous arrays).
#ifndef OSTRELL_ROW_ARRAYS_HPP
#define OSTRELL_ROW_ARRAYS_HPP

#include <pybind11/numpy.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "ostrell.h"

namespace row_arrays {

namespace py = pybind11;

using f64_in = py::array_t<double, py::array::c_style | py::array::forcecast>;
using f64_array = py::array_t<double>;

inline bool is_pairs(const f64_in& a) { return a.ndim() == 2 && a.shape(1) == 2; }

inline void require_pairs(const f64_in& a)
{
    if (!is_pairs(a))
        throw std::runtime_error("Inputs must have shape (N, 2)");
}

inline void push_row(std::vector<double>& held, ostrell_t x)
{
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    held.push_back(hi);
    held.push_back(lo);
}

// The values held (row after row, `width` to a row) as a new (N, width) array.
inline f64_array rows_from(const std::vector<double>& held, py::ssize_t width = 2)
{
    f64_array out({py::ssize_t(held.size()) / width, width});
    if (!held.empty())
        std::memcpy(out.mutable_data(), held.data(), held.size() * sizeof(double));
    return out;
}

} // namespace row_arrays

#endif // OSTRELL_ROW_ARRAYS_HPP
