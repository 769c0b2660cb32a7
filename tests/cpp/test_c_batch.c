/* ostrell_batch.h compiles as C11: this translation unit is C. */
#include "ostrell_batch.h"

/* Called from the C++ tests: called from C, the batch functions give the
 * same bits on each path.  op: 0 add, 1 sub, 2 mul, 3 div. */
void c_batch_arith(int isa, int op, const double* a, const double* b, double* out, size_t n)
{
    switch (op) {
    case 0: ostrell_batch_add_isa((ostrell_isa)isa, a, b, out, n); break;
    case 1: ostrell_batch_sub_isa((ostrell_isa)isa, a, b, out, n); break;
    case 2: ostrell_batch_mul_isa((ostrell_isa)isa, a, b, out, n); break;
    default: ostrell_batch_div_isa((ostrell_isa)isa, a, b, out, n); break;
    }
}
