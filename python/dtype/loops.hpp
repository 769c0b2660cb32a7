// loops.hpp: the loop bodies shared by the ufunc loops (ufuncs.cpp) and the
// reductions (reductions.cpp).
#ifndef OSTRELL_DTYPE_LOOPS_HPP
#define OSTRELL_DTYPE_LOOPS_HPP

#include "numpy_c.hpp"

#include <cstddef>
#include <cstdint>

namespace ostrell_dtype {

using unary_batch = void (*)(const double*, double*, std::size_t);
using binary_batch = void (*)(const double*, const double*, double*, std::size_t);
using unary_row = ostrell_t (*)(ostrell_t);
using binary_row = ostrell_t (*)(ostrell_t, ostrell_t);

// Rows straight from NumPy's buffers: 16-byte steps at an 8-byte aligned
// address, so the batch functions may read them as doubles.
inline bool contiguous(const char* p, npy_intp stride)
{
    return stride == row_bytes && (reinterpret_cast<std::uintptr_t>(p) % alignof(double)) == 0;
}

// A reduction's inner loop: operand 0 is the accumulator, the output itself.
inline bool is_reduction(char* const data[], const npy_intp strides[], int nin)
{
    return data[0] == data[nin] && strides[0] == 0 && strides[nin] == 0;
}

// The ufunc loop of a reduction (accumulator in data[0] == data[2], values in
// data[1]): the companion's sum for add, else the sequential fold.
int reduce_add(char* const data[], npy_intp n, const npy_intp strides[]);
int reduce_fold(binary_row f, char* const data[], npy_intp n, const npy_intp strides[]);

// get_reduction_initial of add (+0) and multiply (1).
int initial_zero(PyArrayMethod_Context*, npy_bool, void* initial);
int initial_one(PyArrayMethod_Context*, npy_bool, void* initial);

} // namespace ostrell_dtype

#endif
