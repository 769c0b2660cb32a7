// The 16-byte image: layout, null pointers, any alignment, verbatim round trip.
#include "test_util.hpp"
#include "ostrell_io.h"

namespace {

using test::pair;
using test::pair_bits;
using test::same_bits;

TEST(ByteImage, LayoutOfOne)
{
    unsigned char img[16];
    ostrell_to_bytes(img, ostrell_from_double(1.0));
    const unsigned char want[16] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(img, want, 16));
    EXPECT_TRUE(same_bits(ostrell_from_bytes(want), pair(1.0, 0.0)));
}

TEST(ByteImage, HighPartThenLowPartLittleEndian)
{
    unsigned char img[16];
    ostrell_to_bytes(img, pair_bits(0x0102030405060708, 0x1112131415161718));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(img[i], 8 - i) << "byte " << i;
        EXPECT_EQ(img[8 + i], 0x18 - i) << "byte " << 8 + i;
    }
}

TEST(ByteImage, NullPointers)
{
    ostrell_to_bytes(nullptr, ostrell_from_double(1.0));  // no write, no crash
    EXPECT_TRUE(same_bits(ostrell_from_bytes(nullptr), pair(0.0, 0.0)));
}

// Signed zeros, NaN payloads, infinities, subnormals and unnormalised pairs
// come back bit for bit, at every offset in a buffer (odd addresses too),
// and the bytes around the image are not touched.
TEST(ByteImage, VerbatimRoundTripAtAnyAddress)
{
    const uint64_t values[][2] = {
        {0x8000000000000000, 0x8000000000000000}, {0x0000000000000000, 0x8000000000000000},
        {0x7FF0000000000001, 0xFFF8DEADBEEF0001}, {0xFFF4000000000000, 0x7FF0000000000000},
        {0x7FF0000000000000, 0x3FF0000000000000}, {0x0000000000000001, 0x800FFFFFFFFFFFFF},
        {0x3FF0000000000000, 0x3FF0000000000000},  // (1, 1): not normalised
        {0x3FF0000000000000, 0x7E37E43C8800759C},  // (1, 1e300)
        {0x7FEFFFFFFFFFFFFF, 0x8000000000000001}, {0x3FD5555555555555, 0x3C75555555555555}};
    for (const auto& v : values) {
        const ostrell_t x = pair_bits(v[0], v[1]);
        for (size_t off = 0; off < 16; ++off) {
            unsigned char mem[48];
            std::memset(mem, 0x5A, sizeof mem);
            ostrell_to_bytes(mem + off, x);
            EXPECT_TRUE(same_bits(ostrell_from_bytes(mem + off), x)) << "offset " << off;
            for (size_t i = 0; i < sizeof mem; ++i) {
                if (i < off || i >= off + 16) {
                    ASSERT_EQ(mem[i], 0x5A) << test::hex(x) << " offset " << off;
                }
            }
            uint64_t h, l;
            std::memcpy(&h, mem + off, 8);
            std::memcpy(&l, mem + off + 8, 8);
            EXPECT_EQ(h, test::bits(test::hi(x)));
            EXPECT_EQ(l, test::bits(test::lo(x)));
        }
    }
}

} // namespace
