// text.cpp: decimal text of single elements, for str/bytes casts and
// printing: the shortest text that reads back to the same pair.  (Texts are
// read by whole_text.hpp.)
#include "numpy_c.hpp"

#include "ostrell_text.h"

namespace ostrell_dtype {

std::size_t text_of(char* buf, std::size_t size, ostrell_t x)
{
    const std::size_t n = ostrell_format(buf, size, x, 0);
    return n < size ? n : size - 1;
}

} // namespace ostrell_dtype
