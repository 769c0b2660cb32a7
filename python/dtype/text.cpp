// text.cpp: decimal text of single elements, for str/bytes casts, setitem
// and printing.
#include "numpy_c.hpp"

#include <string>

#include "ostrell_io.h"

namespace ostrell_dtype {

// TODO: ostrell_text.h's ostrell_format (shortest text) and ostrell_parse
// (correctly rounded) replace these once they are on main.

std::size_t text_of(char* buf, std::size_t size, ostrell_t x)
{
    ostrell_to_string(buf, size, x);
    return std::strlen(buf);
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether [p, last) starts with word, ASCII case ignored; p moves past it.
bool take_word(const char*& p, const char* last, const char* word)
{
    const char* q = p;
    for (; *word; ++word, ++q) {
        if (q == last || (*q | 0x20) != *word)
            return false;
    }
    p = q;
    return true;
}

// A number is: blanks, a sign, then "nan", "inf", "infinity" or digits with
// an optional fraction (at least one digit in all) and an optional exponent,
// then blanks, up to last.
bool is_number(const char* p, const char* last)
{
    while (p != last && is_blank(*p))
        ++p;
    if (p != last && (*p == '+' || *p == '-'))
        ++p;
    if (take_word(p, last, "nan") || take_word(p, last, "infinity") || take_word(p, last, "inf")) {
    } else {
        int digits = 0;
        while (p != last && is_digit(*p))
            ++p, ++digits;
        if (p != last && *p == '.') {
            ++p;
            while (p != last && is_digit(*p))
                ++p, ++digits;
        }
        if (digits == 0)
            return false;
        if (p != last && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p != last && (*p == '+' || *p == '-'))
                ++p;
            if (p == last || !is_digit(*p))
                return false;
            while (p != last && is_digit(*p))
                ++p;
        }
    }
    while (p != last && is_blank(*p))
        ++p;
    return p == last;
}

} // namespace

bool read_text(const char* first, const char* last, ostrell_t* out)
{
    if (!is_number(first, last))
        return false;
    const std::string text(first, last); // NUL-terminated for the reader
    *out = ostrell_from_string(text.c_str());
    return true;
}

} // namespace ostrell_dtype
