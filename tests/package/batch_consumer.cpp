// A C++17 user of the installed batch functions: one call, linked with
// ostrell::batch.
#include <cstdio>
#include <vector>

#include "ostrell_batch.h"

int main()
{
    std::vector<double> x(2 * 100, 0.0), y(2 * 100);
    for (std::size_t i = 0; i < 100; ++i) x[2 * i] = double(i);
    ostrell_batch_sqrt(x.data(), y.data(), 100);
    std::printf("C++ batch: sqrt(2) = (%a, %a)\n", y[4], y[5]);
    return !(y[2 * 49] == 7.0 && y[2 * 49 + 1] == 0.0 && y[5] != 0.0);
}
