// Decimal text: formatting and parsing cost per call, next to snprintf("%.17g")
// and strtod on the same values; and parsing cost per character for long
// texts (it should stay flat as the text grows: parsing is linear).
#include <cstdlib>

#include "bench.hpp"
#include "ostrell_io.h"

int main()
{
    const size_t n = 2000;
    char buf[128];

    bench::header("formatting, 32 digits (baseline: snprintf %.17g of the high part)");
    struct { const char* name; double lo, hi; } ranges[] = {
        {"fixed", 1.0, 1e6}, {"sci big", 1e20, 1e200}, {"sci small", 1e-200, 1e-20}};
    for (const auto& r : ranges) {
        auto v = bench::operands(n, r.lo, r.hi, 1);
        double ns = bench::ns_per_call(n, [&](size_t i) {
            ostrell_to_string(buf, sizeof buf, v[i]);
            bench::keep(int(buf[3]));
        });
        double base = bench::ns_per_call(n, [&](size_t i) {
            std::snprintf(buf, sizeof buf, "%.17g", _mm_cvtsd_f64(v[i]));
            bench::keep(int(buf[3]));
        });
        bench::row(r.name, ns, base);
    }

    bench::header("parsing (baseline: strtod of the same text)");
    struct { const char* name; int digits; } texts[] = {{"17 digits", 17}, {"32 digits", 32}};
    for (const auto& t : texts) {
        auto v = bench::operands(n, 1e-3, 1e3, 2);
        std::vector<std::string> s(n);
        for (size_t i = 0; i < n; ++i) {
            ostrell_to_string_prec(buf, sizeof buf, v[i], t.digits);
            s[i] = buf;
        }
        double ns = bench::ns_per_call(n, [&](size_t i) { bench::keep(ostrell_from_string(s[i].c_str())); });
        double base = bench::ns_per_call(n, [&](size_t i) { bench::keep(std::strtod(s[i].c_str(), nullptr)); });
        bench::row(t.name, ns, base);
    }

    std::printf("\nparsing long texts: ns per character (flat = linear)\n%-12s %12s %12s\n", "length",
                "int digits", "frac digits");
    for (size_t len : {1000u, 10000u, 100000u, 1000000u}) {
        std::string ints(len, '7'), fracs = "0." + std::string(len, '7');
        double a = bench::ns_per_call(1, [&](size_t) { bench::keep(ostrell_from_string(ints.c_str())); }, 3);
        double b = bench::ns_per_call(1, [&](size_t) { bench::keep(ostrell_from_string(fracs.c_str())); }, 3);
        std::printf("%-12zu %12.2f %12.2f\n", len, a / double(len), b / double(len));
    }
    return 0;
}
