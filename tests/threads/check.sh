#!/usr/bin/env bash
# The library built with ThreadSanitizer (gcc) and first_call.c linked to
# it: the threads' first calls together must not race.
#   tests/threads/check.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=$1
tsan="-O1 -g -fsanitize=thread"
cmake -S "$repo" -B "$out" -G Ninja -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS="$tsan" -DOSTRELL_BUILD_TESTS=OFF \
    -DOSTRELL_BUILD_BENCHMARKS=OFF -DOSTRELL_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$out" -j2 --target ostrell_batch >/dev/null
# shellcheck disable=SC2086
gcc -std=c11 $tsan -I"$repo/include" "$here/first_call.c" "$out/src/libostrell_batch.a" \
    -o "$out/first_call" -lpthread -lm
TSAN_OPTIONS=halt_on_error=1:exitcode=66 "$out/first_call"
