// text.cpp: decimal text of single elements, for str/bytes casts, setitem
// and printing.
#include "numpy_c.hpp"

#include <string>

#include "ostrell_io.h"

namespace ostrell_dtype {

#if __has_include("ostrell_text.h")
#include "ostrell_text.h"
#define OSTRELL_DTYPE_TEXT 1 // shortest output, correctly rounded input
#endif

std::size_t text_of(char* buf, std::size_t size, ostrell_t x)
{
#ifdef OSTRELL_DTYPE_TEXT
    const std::size_t n = ostrell_format(buf, size, x, 0);
    return n < size ? n : size - 1;
#else
    // TODO: remove with the fallback below once ostrell_text.h is on main.
    ostrell_to_string(buf, size, x);
    return std::strlen(buf);
#endif
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
#ifdef OSTRELL_DTYPE_TEXT
    while (first != last && is_blank(*first))
        ++first;
    while (last != first && is_blank(last[-1]))
        --last;
    if (first != last && *first == '+')
        ++first; // a sign the grammar above allows
    const char* end = first;
    const int r = ostrell_parse(first, last, out, &end);
    return end == last && (r == 0 || r == OSTRELL_PARSE_RANGE);
#else
    const std::string text(first, last); // NUL-terminated for the reader
    *out = ostrell_from_string(text.c_str());
    return true;
#endif
}

} // namespace ostrell_dtype
