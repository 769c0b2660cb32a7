#include <cstdio>
#include "ostrell.hpp"

int main()
{
    ostrell::float128 third = ostrell::float128(1.0) / ostrell::float128(3.0);
    double hi, lo;
    third.extract(hi, lo);
    std::printf("C++: 1/3 = (%a, %a)\n", hi, lo);
    return !(hi == 1.0 / 3.0 && lo != 0.0);
}
