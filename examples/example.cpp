// ostrell from C++: float128 and complex128 values with their operators and
// functions, printed with 32 significant digits.
#include <cstdio>

#include "ostrell.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;

static void show(const char* what, const float128& x)
{
    std::printf("%-26s %s\n", what, x.to_string().c_str());
}

static void show(const char* what, const complex128& z)
{
    std::printf("%-26s %s\n", what, z.to_string().c_str());
}

int main()
{
    const float128 one(1.0), two(2.0), three(3.0);

    show("1 / 3", one / three);
    show("0.1 (parsed)", float128(ostrell_from_string("0.1")));
    show("0.1 (from a double)", float128(0.1));

    show("pi", ostrell::pi);
    show("4 atan(1)", float128(4.0) * ostrell::atan(one));
    show("sqrt(2)", ostrell::sqrt(two));
    show("sqrt(2)^2 - 2", ostrell::sqrt(two) * ostrell::sqrt(two) - two);
    show("exp(1)", ostrell::exp(one));
    show("log(10)", ostrell::log(float128(10.0)));
    show("sin(pi / 6)", ostrell::sin(ostrell::pi / float128(6.0)));
    show("cosh(1)^2 - sinh(1)^2", ostrell::cosh(one) * ostrell::cosh(one) - ostrell::sinh(one) * ostrell::sinh(one));
    show("2^0.5 by pow", ostrell::pow(two, float128(0.5)));

    const complex128 z(1.0, 2.0), w(3.0, -4.0);
    show("(1+2i) (3-4i)", z * w);
    show("(1+2i) / (3-4i)", z / w);
    show("sin(1+2i)", ostrell::sin(z));
    show("|3-4i|", ostrell::abs(w));

    // Special values: no exceptions and no errno, every input gives a value.
    show("1 / 0", one / float128(0.0));
    show("log(-1)", ostrell::log(-one));
    return 0;
}
