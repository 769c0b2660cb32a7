#!/usr/bin/env bash
# Same bits whatever the includer's flags.  Builds tests/flags against the
# headers installed under PREFIX with gcc and clang, C11 and C++17, for each
# flag set below; every program must
#   - contain no fused multiply-add (objdump: vfmadd, vfmsub, vfnmadd, vfnmsub),
#   - print the per-function hashes of the baseline build (gcc, C, -O2
#     -ffp-contract=off, x86-64 baseline), run only where the CPU has FMA.
# Any further arguments are shared objects (the Python module) that must
# contain no fused multiply-add either.
#
#   tests/flags/check.sh PREFIX BUILD_DIR [module.so ...]
#   OSTRELL_FLAGS_CALLS=100000 calls per function (default)
set -euo pipefail
prefix=$(realpath "$1")
out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
calls=${OSTRELL_FLAGS_CALLS:-100000}

flag_sets=(
    "-O2 -ffp-contract=off"                  # the baseline: index 0
    "-O2 -march=haswell -ffp-contract=fast"
    "-O3 -march=native"
    "-O2 -march=haswell"
    "-O0 -march=haswell -ffp-contract=fast"
    "-O1 -march=haswell -ffp-contract=on"
    "-O3 -march=haswell -ffp-contract=on"
    "-O0 -march=native"
)
sets=$(IFS=';'; echo "${flag_sets[*]}")

fused() { objdump -d --no-show-raw-insn "$1" | grep -cE 'vfn?m(add|sub)' || true; }

has_fma=1
grep -qw fma /proc/cpuinfo || has_fma=0
[ "$has_fma" = 1 ] || echo "flags: this CPU has no FMA: builds are checked for fused operations, hashes are not compared"

rm -f "$out/baseline.txt"
status=0
for cc in gcc clang; do
    cxx=$([ "$cc" = gcc ] && echo g++ || echo clang++)
    dir=$out/$cc
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE= \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DOSTRELL_FLAG_SETS="$sets" >/dev/null
    cmake --build "$dir" -j2 >/dev/null
    for i in "${!flag_sets[@]}"; do
        for lang in c cpp; do
            prog=$dir/flags_hash_${lang}_$i
            what="$cc $lang ${flag_sets[$i]}"
            n=$(fused "$prog")
            if [ "$n" != 0 ]; then
                echo "FAIL $what: $n fused multiply-add instructions"
                status=1
                continue
            fi
            [ "$has_fma" = 1 ] || continue
            "$prog" "$calls" >"$prog.txt"
            [ -f "$out/baseline.txt" ] || cp "$prog.txt" "$out/baseline.txt"
            if ! diff -q "$out/baseline.txt" "$prog.txt" >/dev/null; then
                echo "FAIL $what: hashes differ from the baseline build in:" \
                    $(diff "$out/baseline.txt" "$prog.txt" | awk '/^>/ {print $2}')
                status=1
            else
                echo "ok   $what"
            fi
        done
    done
done
for so in "$@"; do
    if [ ! -f "$so" ]; then
        echo "FAIL '$so': no such shared object"
        status=1
        continue
    fi
    n=$(fused "$so")
    if [ "$n" != 0 ]; then
        echo "FAIL $so: $n fused multiply-add instructions"
        status=1
    else
        echo "ok   $(basename "$so"): no fused multiply-add"
    fi
done
exit $status
