// ostrell_complex_stream.hpp: complex128 on an output stream, in the text of
// complex128::to_string ("re + im i" / "re - |im| i"), each part with the
// digits, showpos (real part) and uppercase rules of ostrell_stream.hpp (the
// unit stays "i"); the field width pads the whole text.
#ifndef OSTRELL_COMPLEX_STREAM_HPP
#define OSTRELL_COMPLEX_STREAM_HPP

#include <ostream>
#include <string>

#include "ostrell_complex.hpp"
#include "ostrell_stream.hpp"

namespace ostrell {

template <class CharT, class Traits>
std::basic_ostream<CharT, Traits>& operator<<(std::basic_ostream<CharT, Traits>& os, const complex128& z)
{
    float128 im = z.imag();
    const char* sign = im < float128(0.0) ? " - " : " + ";
    std::string text = _stream_text(os, z.real(), (os.flags() & std::ios_base::showpos) != 0)
                     + sign + _stream_text(os, abs(im), false) + "i";
    return _stream_put(os, text);
}

} // namespace ostrell

#endif // OSTRELL_COMPLEX_STREAM_HPP
