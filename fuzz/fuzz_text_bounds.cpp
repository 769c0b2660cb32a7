// Fuzz target: the text functions stay inside their buffers.  ostrell_parse
// reads [first, last) of a heap copy of exactly the input (no NUL after it,
// so AddressSanitizer reports any read past last); ostrell_format writes
// into a heap buffer of exactly size bytes, returns the whole text's length
// and ends what it wrote with a NUL.
#include <cstdint>
#include <cstring>
#include <memory>

#include "ostrell_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    if (size) std::memcpy(text.get(), data, size);
    ostrell_t v = _mm_setzero_pd();
    const char* end = nullptr;
    const int r = ostrell_parse(text.get(), text.get() + size, &v, &end);
    if (end < text.get() || end > text.get() + size) __builtin_trap();
    if (r == OSTRELL_PARSE_INVALID && end != text.get()) __builtin_trap();

    if (size >= 20) {
        double hi, lo;
        int digits;
        uint16_t room;
        std::memcpy(&hi, data, 8);
        std::memcpy(&lo, data + 8, 8);
        std::memcpy(&digits, data + 16, 4);
        std::memcpy(&room, size >= 22 ? data + 20 : data, 2);
        digits %= 1600;
        const ostrell_t x = ostrell_from_hi_lo(hi, lo);
        const size_t whole = ostrell_format(nullptr, 0, x, digits);
        const size_t cap = room % 2100;
        std::unique_ptr<char[]> out(new char[cap ? cap : 1]);
        const size_t n = ostrell_format(cap ? out.get() : nullptr, cap, x, digits);
        if (n != whole) __builtin_trap();
        if (cap && out[n < cap - 1 ? n : cap - 1] != '\0') __builtin_trap();
        if (cap && std::strlen(out.get()) != (n < cap - 1 ? n : cap - 1)) __builtin_trap();
    }
    return 0;
}
