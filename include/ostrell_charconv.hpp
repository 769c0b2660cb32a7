// ostrell_charconv.hpp: float128 to and from decimal characters, exactly.
//
//   to_chars(first, last, x)             the shortest text that from_chars reads
//                                        back as the same canonical pair
//   to_chars(first, last, x, precision)  precision significant digits, correctly
//                                        rounded (ties to even); precision <= 0:
//                                        shortest
//   from_chars(first, last, x)           the canonical pair of the exact value of
//                                        the longest number at first
//
// The texts and the grammar are those of ostrell_format / ostrell_parse
// (ostrell_text.h): fixed notation for decimal exponents in [-5, 21), else
// "d.ddde+N"; reading accepts a leading '+' and inf, infinity, nan in any
// case.  No NUL is written.  to_chars returns {last, errc::value_too_large}
// when the text does not fit.  from_chars returns errc::invalid_argument
// (ptr = first) when no number starts at first, and
// errc::result_out_of_range (ptr past the number) when it overflows or
// underflows; in both cases x is left unchanged, as std::from_chars does.
#ifndef OSTRELL_CHARCONV_HPP
#define OSTRELL_CHARCONV_HPP

#include <charconv>
#include <cstddef>
#include <system_error>

#include "ostrell.hpp"
#include "ostrell_text.h"

namespace ostrell {

inline std::to_chars_result to_chars(char* first, char* last, const float128& x, int precision)
{
    const std::size_t room = static_cast<std::size_t>(last - first);
    const std::size_t n = _ostrell_text_format_raw(first, room, x.data, precision);
    if (n > room)
        return {last, std::errc::value_too_large};
    return {first + n, std::errc{}};
}

inline std::to_chars_result to_chars(char* first, char* last, const float128& x)
{
    return to_chars(first, last, x, 0);
}

inline std::from_chars_result from_chars(const char* first, const char* last, float128& x)
{
    ostrell_t v;
    const char* end;
    const int r = ostrell_parse(first, last, &v, &end);
    if (r == OSTRELL_PARSE_INVALID)
        return {first, std::errc::invalid_argument};
    if (r == OSTRELL_PARSE_RANGE)
        return {end, std::errc::result_out_of_range};
    x = float128(v);
    return {end, std::errc{}};
}

} // namespace ostrell

#endif // OSTRELL_CHARCONV_HPP
