// ostrell_literals.hpp: float128 from decimal text in C++, through the parser
// of ostrell_io.h (lenient: the longest number prefix is read, no number
// gives +0).  There is deliberately no implicit constructor from const char*:
// it would make float128(0) ambiguous.
#ifndef OSTRELL_LITERALS_HPP
#define OSTRELL_LITERALS_HPP

#include <cstddef>
#include <string>

#include "ostrell.hpp"

namespace ostrell {

inline float128 from_string(const char* text) { return ostrell_from_string(text); }
inline float128 from_string(const std::string& text) { return ostrell_from_string(text.c_str()); }

// "0.1"_dd is the double-double nearest 0.1 as the parser gives it, not the
// binary64 0.1.  `using namespace ostrell::literals;` (or ostrell) brings it in.
inline namespace literals {
inline float128 operator""_dd(const char* text, std::size_t) { return ostrell_from_string(text); }
} // namespace literals

} // namespace ostrell

#endif // OSTRELL_LITERALS_HPP
