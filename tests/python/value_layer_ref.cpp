// The value-class layer called directly, for the Python tests: the module's
// results must match these bit for bit.  Values cross as doubles, a real as
// (hi, lo) and a complex as (re hi, re lo, im hi, im lo), so that ctypes can
// pass them.
#include <string>

#include "ostrell.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;

namespace {

float128 real_at(const double* p) { return float128(ostrell_from_hi_lo(p[0], p[1])); }
complex128 complex_at(const double* p) { return complex128(real_at(p), real_at(p + 2)); }

int put(double* out, float128 x)
{
    x.extract(out[0], out[1]);
    return 2;
}

int put(double* out, const complex128& z)
{
    put(out, z.real());
    put(out + 2, z.imag());
    return 4;
}

int put(double* out, bool b)
{
    out[0] = b;
    return 1;
}

} // namespace

// Evaluates the function `name` on the operands at a and b; returns the
// number of doubles written to out, 0 for an unknown name.  Complex forms and
// operators are named with a "c." prefix.
extern "C" int ref_eval(const char* name, const double* a, const double* b, double* out)
{
    const std::string n = name;
    const float128 x = real_at(a), y = real_at(b);
    const complex128 z = complex_at(a), w = complex_at(b);

    if (n == "exp") return put(out, ostrell::exp(x));
    if (n == "log") return put(out, ostrell::log(x));
    if (n == "pow") return put(out, ostrell::pow(x, y));
    if (n == "sin") return put(out, ostrell::sin(x));
    if (n == "cos") return put(out, ostrell::cos(x));
    if (n == "tan") return put(out, ostrell::tan(x));
    if (n == "sinh") return put(out, ostrell::sinh(x));
    if (n == "cosh") return put(out, ostrell::cosh(x));
    if (n == "tanh") return put(out, ostrell::tanh(x));
    if (n == "sqrt") return put(out, ostrell::sqrt(x));
    if (n == "abs") return put(out, ostrell::abs(x));
    if (n == "floor") return put(out, ostrell::floor(x));
    if (n == "ceil") return put(out, ostrell::ceil(x));
    if (n == "trunc") return put(out, ostrell::trunc(x));
    if (n == "round") return put(out, ostrell::round(x));
    if (n == "fmod") return put(out, ostrell::fmod(x, y));
    if (n == "atan") return put(out, ostrell::atan(x));
    if (n == "atan2") return put(out, ostrell::atan2(x, y));
    if (n == "asin") return put(out, ostrell::asin(x));
    if (n == "acos") return put(out, ostrell::acos(x));
    if (n == "isnan") return put(out, ostrell::isnan(x));
    if (n == "isinf") return put(out, ostrell::isinf(x));

    if (n == "c.sin") return put(out, ostrell::sin(z));
    if (n == "c.cos") return put(out, ostrell::cos(z));
    if (n == "c.tan") return put(out, ostrell::tan(z));
    if (n == "c.sinh") return put(out, ostrell::sinh(z));
    if (n == "c.cosh") return put(out, ostrell::cosh(z));
    if (n == "c.tanh") return put(out, ostrell::tanh(z));
    if (n == "c.abs") return put(out, ostrell::abs(z));
    if (n == "c.abs_sqr") return put(out, ostrell::abs_sqr(z));
    if (n == "c.add") return put(out, z + w);
    if (n == "c.sub") return put(out, z - w);
    if (n == "c.mul") return put(out, z * w);
    if (n == "c.div") return put(out, z / w);
    return 0;
}
