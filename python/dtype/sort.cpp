// sort.cpp: ordering of the dtype for np.sort, np.argsort, np.searchsorted,
// np.unique, np.argmax and np.argmin, through the DType's sort, argsort,
// compare, argmax and argmin slots.
//
// The order is the library's comparison (high parts, then low parts), with
// every row that holds a NaN last, in its original order, as NumPy orders
// float64.  -0 sorts just before +0 (also in a high or low part of an
// otherwise equal row), so the order is total and every kind of sort gives
// the same rows.  A sort maps each row to a 128-bit unsigned key whose order is
// that order (the binary64 bit patterns made monotonic), sorts the keys by a least-significant-digit radix sort on the high
// key and then by the low key within runs of equal high keys, and maps the
// keys back: the rows keep their bits.
#include "numpy_c.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ostrell_utils.h"

namespace ostrell_dtype {

namespace {

using u64 = std::uint64_t;

struct key {
    u64 hi, lo;
};

inline u64 to_key(u64 bits) { return (bits >> 63) ? ~bits : bits | (u64(1) << 63); }
inline u64 from_key(u64 k) { return (k >> 63) ? k & ~(u64(1) << 63) : ~k; }

inline bool has_nan(const char* p)
{
    double hl[2];
    std::memcpy(hl, p, sizeof hl);
    return hl[0] != hl[0] || hl[1] != hl[1];
}

inline key key_of(const char* p)
{
    u64 b[2];
    std::memcpy(b, p, sizeof b);
    return {to_key(b[0]), to_key(b[1])};
}

inline bool key_less(const key& a, const key& b) { return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo); }

int no_memory()
{
    PyGILState_STATE g = PyGILState_Ensure();
    PyErr_NoMemory();
    PyGILState_Release(g);
    return -1;
}

// Sorts keys by (hi, lo): radix passes of 11 bits on hi (a pass whose digit
// is the same for every key is skipped), then equal-hi runs by lo.  Fewer
// keys than a pass has buckets are sorted by comparison instead (NumPy sorts
// each row of a 2-D array by its own call): the same order, as equal keys
// are equal rows.
void sort_keys(std::vector<key>& k, std::vector<key>& tmp)
{
    constexpr int bits = 11, passes = 6, buckets = 1 << bits;
    const std::size_t n = k.size();
    if (n < buckets) {
        std::sort(k.begin(), k.end(), key_less);
        return;
    }
    std::vector<std::size_t> count(static_cast<std::size_t>(passes) * buckets, 0);
    for (const key& x : k)
        for (int p = 0; p < passes; ++p)
            ++count[static_cast<std::size_t>(p) * buckets + ((x.hi >> (bits * p)) & (buckets - 1))];
    tmp.resize(n);
    key* src = k.data();
    key* dst = tmp.data();
    for (int p = 0; p < passes; ++p) {
        std::size_t* c = &count[static_cast<std::size_t>(p) * buckets];
        if (*std::max_element(c, c + buckets) == n)
            continue;
        std::size_t sum = 0;
        for (int d = 0; d < buckets; ++d) {
            const std::size_t t = c[d];
            c[d] = sum;
            sum += t;
        }
        for (std::size_t i = 0; i < n; ++i)
            dst[c[(src[i].hi >> (bits * p)) & (buckets - 1)]++] = src[i];
        std::swap(src, dst);
    }
    if (src != k.data())
        std::copy(src, src + n, k.data());
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && k[j].hi == k[i].hi)
            ++j;
        if (j - i > 1)
            std::sort(k.begin() + static_cast<std::ptrdiff_t>(i), k.begin() + static_cast<std::ptrdiff_t>(j), key_less);
        i = j;
    }
}

int sort(void* start, npy_intp num, void*)
{
    char* v = static_cast<char*>(start);
    const std::size_t n = static_cast<std::size_t>(num);
    try {
        std::vector<key> keys, tmp;
        std::vector<char> nans;
        keys.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const char* p = v + i * row_bytes;
            if (has_nan(p))
                nans.insert(nans.end(), p, p + row_bytes);
            else
                keys.push_back(key_of(p));
        }
        sort_keys(keys, tmp);
        char* out = v;
        for (const key& x : keys) {
            const u64 b[2] = {from_key(x.hi), from_key(x.lo)};
            std::memcpy(out, b, row_bytes);
            out += row_bytes;
        }
        if (!nans.empty())
            std::memcpy(out, nans.data(), nans.size());
    } catch (const std::bad_alloc&) {
        return no_memory();
    }
    return 0;
}

// Orders the indices by row, ties by index: the result of a stable sort.
int argsort(void* start, npy_intp* tosort, npy_intp num, void*)
{
    const char* v = static_cast<const char*>(start);
    struct item {
        key k;
        bool nan;
        npy_intp index;
    };
    try {
        std::vector<item> items(static_cast<std::size_t>(num));
        for (npy_intp i = 0; i < num; ++i) {
            const char* p = v + tosort[i] * row_bytes;
            items[static_cast<std::size_t>(i)] = {key_of(p), has_nan(p), tosort[i]};
        }
        std::sort(items.begin(), items.end(), [](const item& a, const item& b) {
            if (a.nan != b.nan)
                return b.nan;
            if (!a.nan && (a.k.hi != b.k.hi || a.k.lo != b.k.lo))
                return key_less(a.k, b.k);
            return a.index < b.index;
        });
        for (npy_intp i = 0; i < num; ++i)
            tosort[i] = items[static_cast<std::size_t>(i)].index;
    } catch (const std::bad_alloc&) {
        return no_memory();
    }
    return 0;
}

// The sort's order as a comparison (NumPy's stable sorts and searchsorted
// use it): NaN rows last and equal to each other, then the keys.
int compare(const void* a, const void* b, void*)
{
    const char* pa = static_cast<const char*>(a);
    const char* pb = static_cast<const char*>(b);
    const bool na = has_nan(pa), nb = has_nan(pb);
    if (na || nb)
        return na == nb ? 0 : na ? 1 : -1;
    const key ka = key_of(pa), kb = key_of(pb);
    return key_less(ka, kb) ? -1 : key_less(kb, ka) ? 1 : 0;
}

// The index of the first maximum (minimum); a NaN row wins, as for float64.
template <bool is_max> int arg_extreme(void* data, npy_intp n, npy_intp* index, void*)
{
    const char* v = static_cast<const char*>(data);
    *index = 0;
    if (n <= 0)
        return 0;
    ostrell_t best = load(v);
    if (ostrell_isnan(best))
        return 0;
    for (npy_intp i = 1; i < n; ++i) {
        const ostrell_t x = load(v + i * row_bytes);
        if (ostrell_isnan(x)) {
            *index = i;
            return 0;
        }
        if (is_max ? ostrell_gt(x, best) : ostrell_lt(x, best)) {
            best = x;
            *index = i;
        }
    }
    return 0;
}

} // namespace

PyType_Slot sort_slots[] = {
    {NPY_DT_PyArray_ArrFuncs_sort, reinterpret_cast<void*>(sort)},
    {NPY_DT_PyArray_ArrFuncs_argsort, reinterpret_cast<void*>(argsort)},
    {NPY_DT_PyArray_ArrFuncs_compare, reinterpret_cast<void*>(compare)},
    {NPY_DT_PyArray_ArrFuncs_argmax, reinterpret_cast<void*>(arg_extreme<true>)},
    {NPY_DT_PyArray_ArrFuncs_argmin, reinterpret_cast<void*>(arg_extreme<false>)},
    {0, nullptr},
};

} // namespace ostrell_dtype
