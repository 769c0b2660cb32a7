#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, any undefined behaviour aborts).  Not part of
# the CMake build.  Usage: fuzz/build.sh [outdir]   (default: build/fuzz)
#   then e.g.: build/fuzz/fuzz_from_string -max_total_time=300 build/fuzz/corpus/fuzz_from_string
# The seed corpus in fuzz/corpus/<target>/ is copied into <outdir>/corpus/, so
# the inputs libFuzzer adds while running do not land in the repository.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../build/fuzz}"
mkdir -p "$out"
CXX="${CXX:-clang++}"
flags=(-std=c++17 -O1 -g -ffp-contract=off -fno-fast-math
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -I"$here/../include")
for target in fuzz_from_string fuzz_to_string fuzz_bytes fuzz_text_roundtrip fuzz_text_bounds; do
    "$CXX" "${flags[@]}" "$here/$target.cpp" -o "$out/$target" -lm
    mkdir -p "$out/corpus/$target"
    cp -n "$here/corpus/$target/"* "$out/corpus/$target/" 2>/dev/null || true
done
echo "built in $out"
