// Fuzz target: decimal parsing of arbitrary bytes (as a NUL-terminated text).
// Checks: no crash or undefined behaviour, NaN only from a "nan" word, zero
// when the text holds no digit, and the value formats without trouble.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "ostrell_io.h"

static bool starts_with_nan(const char* p)
{
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    if (*p == '-' || *p == '+') ++p;
    return _ostrell_strncasecmp3(p, "nan") == 0;
}

static bool has_digit(const char* p)
{
    for (; *p; ++p)
        if (*p >= '0' && *p <= '9') return true;
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);  // adds the NUL
    const char* s = text.c_str();                                       // stops at an embedded NUL
    const ostrell_t x = ostrell_from_string(s);
    double hi, lo;
    ostrell_extract(x, &hi, &lo);
    if (std::isnan(hi) != starts_with_nan(s)) __builtin_trap();
    if (!has_digit(s) && !std::isnan(hi) && !std::isinf(hi) && (hi != 0.0 || lo != 0.0)) __builtin_trap();
    char buf[128];
    ostrell_to_string(buf, sizeof buf, x);
    if (std::memchr(buf, 0, sizeof buf) == nullptr) __builtin_trap();
    return 0;
}
