// The installed C++17 headers used as a built-in floating type would be:
// numeric_limits, streams, mixed double operands, the text literal, and
// complex128 comparison, conjugate and mixed operands.
#include <cstdio>
#include <iostream>
#include <limits>
#include <sstream>

#include "ostrell.hpp"
#include "ostrell_complex.hpp"

using ostrell::complex128;
using ostrell::float128;
using namespace ostrell::literals;

static int failures = 0;

static void check(bool ok, const char* what)
{
    if (!ok) {
        std::printf("C++ consumer: FAILED %s\n", what);
        ++failures;
    }
}

int main()
{
    float128 third = float128(1.0) / float128(3.0);
    double hi, lo;
    third.extract(hi, lo);
    std::printf("C++: 1/3 = (%a, %a)\n", hi, lo);
    check(hi == 1.0 / 3.0 && lo != 0.0, "1/3 has a low part");

    using L = std::numeric_limits<float128>;
    check(L::is_specialized && L::digits == 106, "numeric_limits digits");
    check(float128(1.0) + L::epsilon() > 1.0, "1 + epsilon > 1");
    check(L::max() < L::infinity() && -L::max() == L::lowest(), "max, lowest, infinity");

    float128 tenth = "0.1"_dd;
    check(tenth == ostrell::from_string("0.1") && tenth != 0.1, "text literal is not the binary64 0.1");
    check(2.0 * tenth == tenth + tenth && tenth * 10 - 1.0 < 1e-30, "mixed double operands");
    check(static_cast<double>(tenth) == 0.1, "explicit conversion to double");

    std::ostringstream out;
    out << tenth;
    check(out.str() == tenth.to_string(), "<< writes to_string");
    std::istringstream in(out.str() + " junk");
    float128 back;
    in >> back;
    check(in && back == ostrell::from_string(out.str()), ">> reads a number");
    in >> back;
    check(in.fail(), ">> sets failbit on junk");

    complex128 z(1.0, -2.0);
    check(conj(z) == complex128(1.0, 2.0) && -z != z, "complex ==, conj, unary minus");
    check(z * 2.0 == z + z && tenth * z == z * tenth, "complex mixed operands");
    std::cout << "C++: tenth = " << tenth << ", z = " << z << "\n";
    return failures != 0;
}
