// ostrell_stream.hpp: float128 on standard streams.
//
// `os << x` writes, in the default float field, the text of
// ostrell_to_string_prec: 32 significant digits (to_string) while the stream
// keeps its default precision 6, otherwise the stream's precision (clamped to
// 1..60).  Under std::fixed or std::scientific it writes the exact value
// hi + lo correctly rounded (ties to even) to precision() digits after the
// point, as printf's %.*f and %.*e do for double (ostrell_text.h);
// std::showpoint keeps the point of a zero precision.  std::showpos puts '+' before a text
// without '-', std::uppercase gives "E", "INF", "NAN", and the field width
// pads with the fill character (left, right, or after the sign for internal).
//
// `is >> x` reads one whitespace-delimited token and parses it with
// ostrell_from_string.  The token must be a number as a whole (sign, digits
// with an optional point, optional exponent with digits; or nan, inf,
// infinity in any case); otherwise x becomes +0 and failbit is set, as for
// double.  No token at all (end of input) sets failbit and leaves x alone.
// The parser itself never reports failure, hence the check here.
#ifndef OSTRELL_STREAM_HPP
#define OSTRELL_STREAM_HPP

#include <cctype>
#include <istream>
#include <ostream>
#include <string>

#include "ostrell.hpp"
#include "ostrell_text.h"

namespace ostrell {

// Significant digits for a stream: 32 at the default precision 6.
inline int _stream_digits(const std::ios_base& s)
{
    std::streamsize p = s.precision();
    if (p == 6)
        return 32;
    return p < 1 ? 1 : p > 60 ? 60 : static_cast<int>(p);
}

// The formatter's text of x with the stream's digits, showpos and uppercase.
inline std::string _stream_text(const std::ios_base& s, const float128& x, bool plus)
{
    std::string text;
    const std::ios_base::fmtflags field = s.flags() & std::ios_base::floatfield;
    if (field == std::ios_base::fixed || field == std::ios_base::scientific) {
        const char conv = field == std::ios_base::fixed ? 'f' : 'e';
        const int prec = s.precision() > 1000000 ? 1000000 : static_cast<int>(s.precision());
        const bool point = (s.flags() & std::ios_base::showpoint) != 0;
        char small[256];
        std::size_t n = _ostrell_text_format_printf(small, sizeof small, x.data, conv, prec, point);
        if (n <= sizeof small) {
            text.assign(small, n);
        } else {
            text.resize(n);
            _ostrell_text_format_printf(&text[0], n, x.data, conv, prec, point);
        }
    } else {
        char buf[128];
        ostrell_to_string_prec(buf, sizeof buf, x.data, _stream_digits(s));
        text = buf;
    }
    if (plus && text[0] != '-')
        text.insert(0, 1, '+');
    if (s.flags() & std::ios_base::uppercase)
        for (char& c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Writes text padded to the stream's width with its fill, then resets the width.
template <class CharT, class Traits>
std::basic_ostream<CharT, Traits>& _stream_put(std::basic_ostream<CharT, Traits>& os, const std::string& text)
{
    std::basic_string<CharT, Traits> out;
    for (char c : text)
        out.push_back(os.widen(c));
    std::streamsize width = os.width();
    if (width > 0 && static_cast<std::size_t>(width) > out.size()) {
        std::ios_base::fmtflags adjust = os.flags() & std::ios_base::adjustfield;
        bool sign = text[0] == '-' || text[0] == '+';
        std::size_t at = adjust == std::ios_base::left ? out.size()
                       : adjust == std::ios_base::internal && sign ? 1
                       : 0;
        out.insert(at, static_cast<std::size_t>(width) - out.size(), os.fill());
    }
    os.width(0);
    return os << out;
}

template <class CharT, class Traits>
std::basic_ostream<CharT, Traits>& operator<<(std::basic_ostream<CharT, Traits>& os, const float128& x)
{
    return _stream_put(os, _stream_text(os, x, (os.flags() & std::ios_base::showpos) != 0));
}

// Length of the number at the start of s by the grammar above; 0 if none.
inline std::size_t _number_length(const char* s)
{
    const char* p = s;
    if (*p == '+' || *p == '-')
        p++;
    auto word = [&p](const char* w) {
        std::size_t n = 0;
        while (w[n] && std::tolower(static_cast<unsigned char>(p[n])) == w[n])
            n++;
        return w[n] == '\0' ? n : 0;
    };
    if (std::size_t n = word("infinity"))
        return static_cast<std::size_t>(p + n - s);
    if (std::size_t n = word("inf"))
        return static_cast<std::size_t>(p + n - s);
    if (std::size_t n = word("nan"))
        return static_cast<std::size_t>(p + n - s);
    std::size_t digits = 0;
    while (*p >= '0' && *p <= '9') {
        p++;
        digits++;
    }
    if (*p == '.') {
        p++;
        while (*p >= '0' && *p <= '9') {
            p++;
            digits++;
        }
    }
    if (digits == 0)
        return 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;  // past the exponent's sign and digits
        if (*q == '+' || *q == '-')
            q++;
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9')
                q++;
            p = q;
        }
    }
    return static_cast<std::size_t>(p - s);
}

template <class CharT, class Traits>
std::basic_istream<CharT, Traits>& operator>>(std::basic_istream<CharT, Traits>& is, float128& x)
{
    std::basic_string<CharT, Traits> wide;
    if (!(is >> wide))
        return is;
    std::string token;
    for (CharT c : wide) {
        char n = is.narrow(c, '\0');
        token.push_back(n ? n : '?');
    }
    if (_number_length(token.c_str()) != token.size()) {
        x = float128(0.0);
        is.setstate(std::ios_base::failbit);
        return is;
    }
    x = float128(ostrell_from_string(token.c_str()));
    return is;
}

} // namespace ostrell

#endif // OSTRELL_STREAM_HPP
