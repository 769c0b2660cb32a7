/* ostrell from C: the plain functions on ostrell_t values, printed with
 * ostrell_to_string (32 significant digits) and as their two binary64 parts. */
#include <stdio.h>

#include "ostrell.h"
#include "ostrell_io.h"
#include "ostrell_math.h"
#include "ostrell_utils.h"

static void show(const char* what, ostrell_t x)
{
    char text[128];
    double hi, lo;
    ostrell_to_string(text, sizeof text, x);
    ostrell_extract(x, &hi, &lo);
    printf("%-18s %-40s (%a, %a)\n", what, text, hi, lo);
}

int main(void)
{
    ostrell_t one = ostrell_from_double(1.0);
    ostrell_t tenth = ostrell_from_string("0.1");
    ostrell_t sum = ostrell_from_double(0.0);
    int i;

    show("1 / 3", ostrell_div(one, ostrell_from_double(3.0)));
    show("sqrt(2)", ostrell_sqrt(ostrell_from_double(2.0)));
    show("exp(1)", ostrell_exp(one));
    show("log(2)", ostrell_log(ostrell_from_double(2.0)));
    show("atan(1) * 4", ostrell_mul(ostrell_atan(one), ostrell_from_double(4.0)));
    show("cos(1)", ostrell_cos(one));

    /* Ten thousand additions of 0.1 keep about 30 digits. */
    for (i = 0; i < 10000; ++i)
        sum = ostrell_add(sum, tenth);
    show("10000 x 0.1", sum);

    /* The 16-byte image round-trips every bit. */
    {
        unsigned char image[16];
        ostrell_to_bytes(image, tenth);
        show("0.1 from bytes", ostrell_from_bytes(image));
    }
    return ostrell_isnan(sum);
}
