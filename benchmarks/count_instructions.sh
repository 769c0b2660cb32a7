#!/bin/sh
# Instructions per call of the kernel operations and a few functions, counted
# by callgrind inside the out-of-line wrapper op_<name> of count_instructions
# (the wrapper adds its ret; "none" shows that floor).  Then the binary64
# instruction mix of the compiled add, mul, div, sqrt bodies, to separate the
# specified floating-point operations from the rest.
#
#   benchmarks/count_instructions.sh [build/benchmarks/count_instructions] [calls]
set -eu
prog=${1:-build/benchmarks/count_instructions}
calls=${2:-100000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-12s %14s\n' operation "instr/call"
for op in none double_add add mul div sqrt exp log sin atan; do
    valgrind --tool=callgrind --toggle-collect="op_$op" \
        --callgrind-out-file="$out/$op.cg" "$prog" "$op" "$calls" >/dev/null 2>"$out/$op.log"
    total=$(sed -n 's/^summary: *//p' "$out/$op.cg")
    awk -v op="$op" -v t="$total" -v n="$calls" 'BEGIN { printf "%-12s %14.1f\n", op, t / n }'
done

# Static mix of the straight-line bodies: arithmetic (add/sub/mul/div/sqrt sd),
# compares, sign/abs masks, moves and shuffles, branches.
echo
printf '%-8s %6s %6s %6s %6s %6s %6s %6s\n' body total arith cmp mask move branch other
for op in add mul div sqrt; do
    objdump -d --no-show-raw-insn "$prog" \
    | awk -v f="<op_$op>:" '$2 == f { on = 1; next } on && /^$/ { exit } on { print $2 }' \
    | awk -v op="$op" '
        /^(add|sub|mul|div|sqrt)[sp]d$/        { arith++ }
        /^(u?comisd|cmp[a-z]*[sp]d)$/          { cmp++ }
        /^(and|andn|or|xor)pd$/                { mask++ }
        /^(mov[a-z]*|unpck[a-z]*|shufpd|pxor)$/ { move++ }
        /^(j[a-z]+|ret|call)$/                 { branch++ }
        { total++ }
        END { printf "%-8s %6d %6d %6d %6d %6d %6d %6d\n", op, total, arith, cmp, mask, move, branch,
                     total - arith - cmp - mask - move - branch }'
done
