// text.cpp: decimal text of single elements, for str/bytes casts, setitem
// and printing: the shortest text that reads back to the same pair, and the
// correctly rounded pair of a text.
#include "numpy_c.hpp"

#include "ostrell_text.h"

namespace ostrell_dtype {

std::size_t text_of(char* buf, std::size_t size, ostrell_t x)
{
    const std::size_t n = ostrell_format(buf, size, x, 0);
    return n < size ? n : size - 1;
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

} // namespace

// The whole of [first, last), blanks around it allowed, must be one number.
bool read_text(const char* first, const char* last, ostrell_t* out)
{
    while (first != last && is_blank(*first))
        ++first;
    while (last != first && is_blank(last[-1]))
        --last;
    const char* end = first;
    const int r = ostrell_parse(first, last, out, &end);
    return r != OSTRELL_PARSE_INVALID && end == last;
}

} // namespace ostrell_dtype
