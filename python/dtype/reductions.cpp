// reductions.cpp: what the ufunc loops do when NumPy reduces with them.
//
// NumPy reduces by calling the binary loop with the accumulator as both the
// first operand and the output (stride 0).  For add, every such call sums
// its n values with ostrell_sum_rows (the companion's ostrell_numpy.sum, its
// fixed order on every path) and adds that to the accumulator; NumPy starts
// a sum from the identity +0, and an accumulator that is exactly (+0, +0)
// takes the block's sum as it is.  NumPy 2.3 and later pass a 1-D array
// (any strides) to the loop in one call, so np.sum / np.add.reduce of it
// give ostrell_numpy.sum's bits; NumPy 2.0 passes blocks of 8192 values, so
// there the result is the blocks' sums added in order.
// Every other reduction is the sequential fold acc = f(acc, x[i]) in index
// order, and so is a sum whose reduced axis is not the inner loop (NumPy then
// adds whole rows of values element-wise).
#include "loops.hpp"

#include <cstdint>
#include <vector>

#include "ostrell_reduce.h"

namespace ostrell_dtype {

namespace {

bool is_plus_zero(ostrell_t x)
{
    double hl[2];
    ostrell_extract(x, &hl[0], &hl[1]);
    std::uint64_t u[2];
    std::memcpy(u, hl, sizeof u);
    return u[0] == 0 && u[1] == 0;
}

} // namespace

int reduce_add(char* const data[], npy_intp n, const npy_intp strides[])
{
    const char* in = data[1];
    ostrell_t s;
    if (contiguous(in, strides[1])) {
        s = ostrell_sum_rows(reinterpret_cast<const double*>(in), static_cast<std::size_t>(n));
    } else {
        std::vector<double> rows;
        try {
            rows.resize(2 * static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            PyGILState_STATE g = PyGILState_Ensure();
            PyErr_NoMemory();
            PyGILState_Release(g);
            return -1;
        }
        for (npy_intp i = 0; i < n; ++i)
            std::memcpy(&rows[2 * static_cast<std::size_t>(i)], in + i * strides[1], row_bytes);
        s = ostrell_sum_rows(rows.data(), static_cast<std::size_t>(n));
    }
    const ostrell_t acc = load(data[0]);
    store(data[0], is_plus_zero(acc) ? s : ostrell_add(acc, s));
    return 0;
}

int reduce_fold(binary_row f, char* const data[], npy_intp n, const npy_intp strides[])
{
    ostrell_t acc = load(data[0]);
    const char* in = data[1];
    for (npy_intp i = 0; i < n; ++i, in += strides[1])
        acc = f(acc, load(in));
    store(data[0], acc);
    return 0;
}

int initial_zero(PyArrayMethod_Context*, npy_bool, void* initial)
{
    store(static_cast<char*>(initial), ostrell_from_hi_lo(0.0, 0.0));
    return 1;
}

int initial_one(PyArrayMethod_Context*, npy_bool, void* initial)
{
    store(static_cast<char*>(initial), ostrell_from_double(1.0));
    return 1;
}

} // namespace ostrell_dtype
