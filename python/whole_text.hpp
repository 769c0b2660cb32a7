// whole_text.hpp: a whole text read as one number, the blanks float() allows
// around it skipped (ASCII space, \t, \n, \v, \f, \r), for the companion's
// parse and parse_rows and for the dtype's conversions of str and bytes.
#ifndef OSTRELL_WHOLE_TEXT_HPP
#define OSTRELL_WHOLE_TEXT_HPP

#include "ostrell_text.h"

namespace whole_text {

inline bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The pair of [first, last) into out; false when, its blanks at the ends
// skipped, it is not one number.
inline bool read(const char* first, const char* last, ostrell_t* out)
{
    while (first != last && is_blank(*first))
        ++first;
    while (last != first && is_blank(last[-1]))
        --last;
    const char* end = first;
    return ostrell_parse(first, last, out, &end) != OSTRELL_PARSE_INVALID && end == last;
}

} // namespace whole_text

#endif // OSTRELL_WHOLE_TEXT_HPP
