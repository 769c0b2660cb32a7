#!/usr/bin/env bash
# Each public header compiles alone, warning-free, through a plain -I: the
# .h headers as C11, C17 and C++17 to C++23, the .hpp headers as C++17 to
# C++23, with gcc and clang.  And the unsafe floating-point flags that a
# compiler announces are refused (#error).
#   tests/headers/check.sh [include_dir]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
inc=$(realpath "${1:-$here/../../include}")
warn=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wdouble-promotion -Werror)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The newest C++ standard each compiler names (clang 14: c++2b).
cxx_latest() { "$1" -std=c++23 -x c++ -fsyntax-only /dev/null 2>/dev/null && echo c++23 || echo c++2b; }

status=0
count=0
for pair in gcc:g++ clang:clang++; do
    cc=${pair%%:*} cxx=${pair##*:}
    cxx_stds=(c++17 c++20 "$(cxx_latest "$cxx")")
    for h in "$inc"/ostrell*.h "$inc"/ostrell*.hpp; do
        name=$(basename "$h")
        printf '#include "%s"\n' "$name" >"$tmp/tu"
        # ostrell_eigen.hpp also needs Eigen's headers (as system headers);
        # without them it is left out.
        extra=()
        if [[ $name == ostrell_eigen.hpp ]]; then
            [ -d /usr/include/eigen3 ] || continue
            extra=(-isystem /usr/include/eigen3)
        fi
        runs=()
        if [[ $name == *.h ]]; then
            for std in c11 c17; do runs+=("$cc -x c -std=$std"); done
        fi
        for std in "${cxx_stds[@]}"; do runs+=("$cxx -x c++ -std=$std"); done
        for run in "${runs[@]}"; do
            count=$((count + 1))
            # shellcheck disable=SC2086
            if ! out=$($run "${warn[@]}" "${extra[@]}" -fsyntax-only -I"$inc" "$tmp/tu" 2>&1); then
                echo "FAIL $name: $run"
                echo "$out" | grep -E 'error|warning' | head -n 3
                status=1
            fi
        done
    done
done
[ $status -eq 0 ] && echo "ok   $count header builds warning-free"

# gcc announces every one of these; clang 14 only -ffast-math (and -Ofast)
# and -ffinite-math-only.
printf '#include "ostrell.h"\n' >"$tmp/tu"
refused=0
for run in "gcc -ffast-math" "gcc -Ofast" "gcc -funsafe-math-optimizations" "gcc -freciprocal-math" \
           "gcc -fno-signed-zeros" "gcc -fassociative-math -fno-signed-zeros -fno-trapping-math" \
           "gcc -ffinite-math-only" "clang -ffast-math" "clang -Ofast" "clang -ffinite-math-only"; do
    # shellcheck disable=SC2086
    if $run -fsyntax-only -I"$inc" -x c "$tmp/tu" 2>/dev/null; then
        echo "FAIL $run: not refused"
        status=1
    else
        refused=$((refused + 1))
    fi
done
# shellcheck disable=SC2086
for run in "gcc -O2 -fno-math-errno -fno-trapping-math" "clang -O3 -march=native -ffp-contract=fast"; do
    if ! $run -fsyntax-only -I"$inc" -x c "$tmp/tu"; then
        echo "FAIL $run: refused"
        status=1
    fi
done
[ $status -eq 0 ] && echo "ok   $refused unsafe flag sets refused, safe ones accepted"
exit $status
