/* batch/rows.c: the scalar row loops and libm seeds of batch/rows.h, for the
 * x86-64 baseline. */
#include "ostrell.h"
#include "ostrell_math.h"

#include "batch/rows.h"

_OSTRELL_OUTLINE void _ostrell_batch_rows_arith(int op, const double* a, const double* b,
                                                double* out, size_t n)
{
    switch (op) {
    case _OSTRELL_OP_ADD: _OSTRELL_BATCH_ROWS2(ostrell_add, a, b, out, n); break;
    case _OSTRELL_OP_SUB: _OSTRELL_BATCH_ROWS2(ostrell_sub, a, b, out, n); break;
    case _OSTRELL_OP_MUL: _OSTRELL_BATCH_ROWS2(ostrell_mul, a, b, out, n); break;
    default: _OSTRELL_BATCH_ROWS2(ostrell_div, a, b, out, n); break;
    }
}

#define _OSTRELL_BATCH_ROWS_FN(name)                                           \
    _OSTRELL_OUTLINE void _ostrell_batch_rows_##name(const double* x, double* out, size_t n) \
    {                                                                          \
        _OSTRELL_BATCH_ROWS1(ostrell_##name, x, out, n);                       \
    }
_OSTRELL_BATCH_ROWS_FN(sqrt)
_OSTRELL_BATCH_ROWS_FN(exp)
_OSTRELL_BATCH_ROWS_FN(log)
_OSTRELL_BATCH_ROWS_FN(sin)
_OSTRELL_BATCH_ROWS_FN(cos)
_OSTRELL_BATCH_ROWS_FN(tan)
_OSTRELL_BATCH_ROWS_FN(sinh)
_OSTRELL_BATCH_ROWS_FN(cosh)
_OSTRELL_BATCH_ROWS_FN(tanh)
_OSTRELL_BATCH_ROWS_FN(floor)
_OSTRELL_BATCH_ROWS_FN(ceil)
_OSTRELL_BATCH_ROWS_FN(trunc)
_OSTRELL_BATCH_ROWS_FN(round)
#undef _OSTRELL_BATCH_ROWS_FN

_OSTRELL_OUTLINE void _ostrell_batch_rows_pow(const double* a, const double* b, double* out,
                                              size_t n)
{
    _OSTRELL_BATCH_ROWS2(ostrell_pow, a, b, out, n);
}

_OSTRELL_OUTLINE void _ostrell_batch_rows_fmod(const double* a, const double* b, double* out,
                                               size_t n)
{
    _OSTRELL_BATCH_ROWS2(ostrell_fmod, a, b, out, n);
}

_OSTRELL_OUTLINE void _ostrell_batch_rows_sincos(const double* x, double* s, double* c, size_t n)
{
    size_t i;
    ostrell_t si, ci;
    for (i = 0; i < n; ++i) {
        ostrell_sincos(_mm_loadu_pd(x + 2 * i), &si, &ci);
        _mm_storeu_pd(s + 2 * i, si);
        _mm_storeu_pd(c + 2 * i, ci);
    }
}

_OSTRELL_OUTLINE void _ostrell_batch_rows_inv(int fn, const double* a, const double* b,
                                              double* out, size_t n)
{
    switch (fn) {
    case _OSTRELL_INV_ATAN: _OSTRELL_BATCH_ROWS1(ostrell_atan, a, out, n); break;
    case _OSTRELL_INV_ASIN: _OSTRELL_BATCH_ROWS1(ostrell_asin, a, out, n); break;
    case _OSTRELL_INV_ACOS: _OSTRELL_BATCH_ROWS1(ostrell_acos, a, out, n); break;
    default: _OSTRELL_BATCH_ROWS2(ostrell_atan2, a, b, out, n); break;
    }
}

_OSTRELL_OUTLINE void _ostrell_batch_log_seeds(const double* x, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        double hi = x[2 * i];
        seeds[2 * i] = hi > 0.0 && hi <= OSTRELL_DBL_MAX ? log(hi) : 0.0;
        seeds[2 * i + 1] = 0.0;
    }
}

_OSTRELL_OUTLINE void _ostrell_batch_log_abs_seeds(const double* x, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        double hi = fabs(x[2 * i]);
        seeds[2 * i] = hi > 0.0 && hi <= OSTRELL_DBL_MAX ? log(hi) : 0.0;
        seeds[2 * i + 1] = 0.0;
    }
}

_OSTRELL_OUTLINE void _ostrell_batch_atan_seeds(const double* z, double* seeds, size_t n)
{
    size_t i;
    for (i = 0; i < n; ++i) {
        seeds[2 * i] = atan(z[2 * i]);
        seeds[2 * i + 1] = 0.0;
    }
}
