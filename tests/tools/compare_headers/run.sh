#!/bin/sh
# Bit comparison of two header trees on n random rows per function, both
# built with the baseline flags (x86-64, -O2 -ffp-contract=off):
#   tests/tools/compare_headers/run.sh OLD_INCLUDE NEW_INCLUDE [n] [cc]
# e.g. with the headers of another commit:
#   mkdir -p /tmp/old && git archive HEAD~1 include | tar -x -C /tmp/old
#   tests/tools/compare_headers/run.sh /tmp/old/include include
set -eu
here=$(dirname "$0")
old=$1 new=$2 n=${3:-1000000} cc=${4:-gcc}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
flags="-std=gnu11 -O2 -ffp-contract=off"
$cc $flags -DEVAL=eval_old -I"$old" -c "$here/eval.c" -o "$tmp/old.o"
$cc $flags -DEVAL=eval_new -I"$new" -c "$here/eval.c" -o "$tmp/new.o"
$cc $flags "$here/compare.c" "$tmp/old.o" "$tmp/new.o" -o "$tmp/compare" -lm
"$tmp/compare" "$n"
