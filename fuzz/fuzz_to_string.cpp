// Fuzz target: formatting of an arbitrary 16-byte value image (shorter
// inputs are padded with zeros), for every buffer size 0..200 and every digit
// count -5..70.  Checks: the text is NUL-terminated inside the buffer, it is
// the prefix of the full text, and no byte past buf_size is written.
#include <cstdint>
#include <cstring>

#include "ostrell_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned char image[16] = {0};
    std::memcpy(image, data, size < 16 ? size : 16);
    const ostrell_t x = ostrell_from_bytes(image);

    const unsigned char guard = 0xA5;
    for (int digits = -5; digits <= 70; ++digits) {
        char full[256];
        ostrell_to_string_prec(full, sizeof full, x, digits);
        const size_t len = std::strlen(full);
        if (len >= 200) __builtin_trap();  // never longer than ~130 characters
        for (size_t n = 0; n <= 200; ++n) {
            unsigned char mem[232];
            std::memset(mem, guard, sizeof mem);
            ostrell_to_string_prec(reinterpret_cast<char*>(mem), n, x, digits);
            for (size_t i = n; i < sizeof mem; ++i)
                if (mem[i] != guard) __builtin_trap();
            if (n == 0) continue;
            const size_t cut = len < n - 1 ? len : n - 1;
            if (mem[cut] != 0 || std::memcmp(mem, full, cut) != 0) __builtin_trap();
        }
    }
    return 0;
}
