#!/usr/bin/env bash
# Builds and runs the consumer project against the package installed under
# PREFIX, then checks that the package left the consumer's flags alone: no
# compile command carries -ffp-contract=off or -fno-fast-math, and the
# -ffast-math code contracts to FMA.
#   tests/package/check.sh PREFIX BUILD_DIR
set -euo pipefail
prefix=$(realpath "$1")
out=$2
here=$(cd "$(dirname "$0")" && pwd)
cmake -S "$here" -B "$out" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" >/dev/null
progs="consumer_c consumer_cpp batch_consumer_c batch_consumer_cpp"
# The fast consumer runs only on a Haswell-class CPU; its code is checked
# on any.
if grep -qw fma /proc/cpuinfo && grep -qw avx2 /proc/cpuinfo; then
    progs="$progs fast_consumer"
fi
for prog in $progs; do
    "$out/$prog"
done
if grep -E -- '-ffp-contract=off|-fno-fast-math' "$out/compile_commands.json"; then
    echo "FAIL the package added floating-point options to the consumer's compile commands"
    exit 1
fi
# The function is read from the linked program, which does not depend on how
# the generator names object files.
fused=$(objdump -d --no-show-raw-insn --disassemble=fast_axpy "$out/fast_consumer" \
    | grep -cE 'vfn?m(add|sub)' || true)
if [ "$fused" -eq 0 ]; then
    echo "FAIL the consumer's -ffast-math -march=haswell code has no fused multiply-add"
    exit 1
fi
echo "ok   the consumer's own flags reach its code (fused multiply-add in fast_axpy)"
