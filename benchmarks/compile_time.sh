#!/usr/bin/env bash
# Compile times of a user of the batch functions: one C11 and one C++17 file
# that include ostrell_batch.h and call one function, compiled (to an object)
# at -O0 and -O2 with gcc and clang; min of REPEATS runs each.  Then the time
# to build the library itself (a fresh CMake build of ostrell_batch, Release,
# -j2), once.
#   benchmarks/compile_time.sh [REPEATS]     (default 11)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-11}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cat >"$tmp/user.c" <<'SRC'
#include "ostrell_batch.h"
void user(const double* a, const double* b, double* out, size_t n) { ostrell_batch_div(a, b, out, n); }
SRC
cp "$tmp/user.c" "$tmp/user.cpp"

now() { date +%s.%N; }
min_time() {  # min_time command...: the fastest of $repeats runs, in seconds
    local best=1e9 t0 t1
    for _ in $(seq "$repeats"); do
        t0=$(now); "$@" >/dev/null; t1=$(now)
        best=$(awk -v a="$t0" -v b="$t1" -v m="$best" 'BEGIN { d = b - a; print (d < m ? d : m) }')
    done
    printf '%.3f' "$best"
}

echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
printf '%-8s %-6s %-4s %s\n' compiler lang opt "seconds (min of $repeats)"
for pair in gcc:g++ clang:clang++; do
    cc=${pair%%:*} cxx=${pair##*:}
    for opt in -O0 -O2; do
        printf '%-8s %-6s %-4s %s\n' "$cc" C11 "$opt" \
            "$(min_time "$cc" -std=c11 "$opt" -I"$repo/include" -c "$tmp/user.c" -o "$tmp/user.o")"
        printf '%-8s %-6s %-4s %s\n' "$cc" C++17 "$opt" \
            "$(min_time "$cxx" -std=c++17 "$opt" -I"$repo/include" -c "$tmp/user.cpp" -o "$tmp/user.o")"
    done
done

cmake -S "$repo" -B "$tmp/lib" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTRELL_BUILD_TESTS=OFF \
    -DOSTRELL_BUILD_BENCHMARKS=OFF -DOSTRELL_BUILD_EXAMPLES=OFF >/dev/null
t0=$(now)
cmake --build "$tmp/lib" -j2 --target ostrell_batch >/dev/null
t1=$(now)
printf 'the library (ostrell_batch, Release, -j2, %s): %.1f s\n' \
    "$(cmake -LA -N "$tmp/lib" | sed -n 's/^CMAKE_C_COMPILER:[A-Z]*=//p' | xargs basename)" \
    "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')"
