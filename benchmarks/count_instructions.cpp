// Calls one operation N times on random operands, each call through an
// out-of-line extern "C" wrapper op_<name>, so that callgrind with
// --toggle-collect=op_<name> counts exactly the instructions executed inside
// the operation (plus the wrapper's ret).  count_instructions.sh runs it.
//
//   count_instructions <op> <calls>      op: none, double_add, add, mul, div,
//                                            sqrt, exp, log, sin, atan
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "ostrell_math.h"

#define OP2(name, expr)                                                              \
    extern "C" __attribute__((noinline)) ostrell_t op_##name(ostrell_t a, ostrell_t b) \
    {                                                                                \
        (void)b;                                                                     \
        return expr;                                                                 \
    }

OP2(none, a)
OP2(double_add, _mm_add_sd(a, b))
OP2(add, ostrell_add(a, b))
OP2(mul, ostrell_mul(a, b))
OP2(div, ostrell_div(a, b))
OP2(sqrt, ostrell_sqrt(a))
OP2(exp, ostrell_exp(a))
OP2(log, ostrell_log(a))
OP2(sin, ostrell_sin(a))
OP2(atan, ostrell_atan(a))

namespace {

struct Op {
    const char* name;
    ostrell_t (*f)(ostrell_t, ostrell_t);
    double lo, hi; // range of the high parts of the first operand
};

const Op ops[] = {
    {"none", op_none, -100, 100},   {"double_add", op_double_add, -100, 100},
    {"add", op_add, -100, 100},     {"mul", op_mul, -100, 100},
    {"div", op_div, -100, 100},     {"sqrt", op_sqrt, 1e-3, 1e3},
    {"exp", op_exp, -50, 50},       {"log", op_log, 1e-3, 1e3},
    {"sin", op_sin, -10, 10},       {"atan", op_atan, -100, 100},
};

std::vector<ostrell_t> operands(size_t n, double lo, double hi, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(lo, hi), f(-1.0, 1.0);
    std::vector<ostrell_t> v(n);
    for (auto& x : v) {
        double h = u(rng);
        double l = h * 0x1p-54 * f(rng);
        double s = h + l;
        x = ostrell_from_hi_lo(s, l - (s - h));
    }
    return v;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <op> <calls>\n", argv[0]);
        return 2;
    }
    const Op* op = nullptr;
    for (const Op& o : ops)
        if (std::strcmp(o.name, argv[1]) == 0) op = &o;
    if (!op) {
        std::fprintf(stderr, "unknown op %s\n", argv[1]);
        return 2;
    }
    long calls = std::atol(argv[2]);
    constexpr size_t m = 4096;
    std::vector<ostrell_t> a = operands(m, op->lo, op->hi, 1);
    std::vector<ostrell_t> b = operands(m, -100, 100, 2);
    __m128d acc = _mm_setzero_pd();
    for (long i = 0; i < calls; ++i) acc = _mm_xor_pd(acc, op->f(a[i % m], b[i % m]));
    double h, l;
    ostrell_extract(acc, &h, &l);
    std::printf("%s: %ld calls, checksum %a %a\n", op->name, calls, h, l);
    return 0;
}
