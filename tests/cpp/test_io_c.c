/* Decimal text from a C translation unit, compared with C++ in test_io_text.cpp. */
#include "ostrell_io.h"

void c_io_text(const char* text, int digits, double* parsed, char* out, size_t out_size)
{
    ostrell_t x = ostrell_from_string(text);
    ostrell_extract(x, &parsed[0], &parsed[1]);
    ostrell_to_string_prec(out, out_size, x, digits);
}
