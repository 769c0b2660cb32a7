// Fuzz target: exact text round trips.  The input read as a text gives a
// canonical pair; the input's first 16 bytes as a pair, made canonical by a
// two-sum, give another.  For each: the shortest text parses back to the
// same pair (lo modulo the sign of zero), and a text of 1..30 digits parsed
// and printed again with as many digits is the same text (unless it overflowed
// or underflowed).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "ostrell_text.h"

static bool same_pair(ostrell_t a, ostrell_t b)
{
    double ah, al, bh, bl;
    ostrell_extract(a, &ah, &al);
    ostrell_extract(b, &bh, &bl);
    if (std::isnan(ah) || std::isnan(bh)) return std::isnan(ah) && std::isnan(bh);
    return std::memcmp(&ah, &bh, 8) == 0 && al == bl;
}

static ostrell_t parse_all(const std::string& s, int* status = nullptr)
{
    ostrell_t v = _mm_set1_pd(NAN);
    const char* end;
    const int r = ostrell_parse(s.data(), s.data() + s.size(), &v, &end);
    if (status) *status = r;
    if (end != s.data() + s.size()) __builtin_trap();
    return v;
}

static std::string text(ostrell_t x, int digits)
{
    char buf[2048];
    size_t n = ostrell_format(buf, sizeof buf, x, digits);
    if (n >= sizeof buf) __builtin_trap();
    return std::string(buf, n);
}

static void check(ostrell_t x, int digits)
{
    if (!same_pair(parse_all(text(x, 0)), x)) __builtin_trap();
    const std::string t = text(x, digits);
    int status;
    const ostrell_t y = parse_all(t, &status);
    if (status == 0 && text(y, digits) != t) __builtin_trap(); // not when rounding went past the largest
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int digits = 1 + (size ? data[0] % 30 : 0);
    ostrell_t v;
    const char* end;
    const char* first = reinterpret_cast<const char*>(data);
    if (ostrell_parse(first, first + size, &v, &end) != OSTRELL_PARSE_INVALID) check(v, digits);
    if (size >= 16) {
        double hi, lo;
        std::memcpy(&hi, data, 8);
        std::memcpy(&lo, data + 8, 8);
        const double s = hi + lo, bb = s - hi, e = (hi - (s - bb)) + (lo - bb);
        if (std::isfinite(s) && std::isfinite(e)) check(ostrell_from_hi_lo(s, e + 0.0), digits);
    }
    return 0;
}
