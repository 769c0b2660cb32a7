// Fuzz target: the 16-byte image.  Any 16 bytes read at any alignment give a
// value whose image is the same 16 bytes; shorter inputs and null pointers
// are handled without reading or writing past them.
#include <cstdint>
#include <cstring>

#include "ostrell_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrell_to_bytes(nullptr, ostrell_from_bytes(nullptr));
    for (size_t off = 0; off + 16 <= size && off < 16; ++off) {
        const ostrell_t x = ostrell_from_bytes(data + off);
        unsigned char out[40];
        std::memset(out, 0x5A, sizeof out);
        const size_t at = (off * 7) % 17;  // odd and even destinations
        ostrell_to_bytes(out + at, x);
        if (std::memcmp(out + at, data + off, 16) != 0) __builtin_trap();
        for (size_t i = 0; i < sizeof out; ++i)
            if ((i < at || i >= at + 16) && out[i] != 0x5A) __builtin_trap();
    }
    return 0;
}
