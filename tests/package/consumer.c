#include <stdio.h>
#include "ostrell.h"
#include "ostrell_utils.h"

int main(void)
{
    double hi, lo;
    ostrell_extract(ostrell_div(ostrell_from_double(1.0), ostrell_from_double(3.0)), &hi, &lo);
    printf("C: 1/3 = (%a, %a)\n", hi, lo);
    return !(hi == 1.0 / 3.0 && lo != 0.0);
}
