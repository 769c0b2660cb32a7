#!/bin/sh
# Instructions executed per call of the kernel operations and a few functions,
# counted by callgrind inside the out-of-line wrapper op_<name> of
# count_instructions (the wrapper adds its ret; "none" shows that floor), and
# split by kind so the overhead beyond the binary64 arithmetic is visible:
#   arith   addsd subsd mulsd divsd sqrtsd (and packed forms)
#   cmp     comisd ucomisd cmpXXsd        mask  andpd andnpd orpd xorpd
#   move    register/memory moves, unpack/shuffle, spills, conversions
#   flow    jumps, calls, returns, push/pop
#   int     integer and address arithmetic
#   lib     instructions executed in shared libraries (libm)
#
#   benchmarks/count_instructions.sh [build/benchmarks/count_instructions] [calls]
set -eu
prog=${1:-build/benchmarks/count_instructions}
calls=${2:-100000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# address -> mnemonic of every instruction in the program
objdump -d --no-show-raw-insn "$prog" \
| awk -F'\t' '/^ +[0-9a-f]+:/ { a = $1; sub(/^ +/, "", a); sub(/:$/, "", a); split($2, m, " "); print a, m[1] }' \
    >"$out/mnemonics"

# Sums the per-instruction costs of a callgrind file (--dump-instr=yes) by kind.
# Positions are "0xADDR", "+d", "-d" or "*"; the line after calls= is a call
# site carrying the callee's inclusive cost, which is not counted again.
cat >"$out/mix.py" <<'EOF'
import re, sys
mn = dict(line.split() for line in open(sys.argv[1]))
kinds = [("arith", r"(add|sub|mul|div|sqrt)[sp]d"), ("cmp", r"u?comisd|cmp[a-z]*[sp]d"),
         ("mask", r"(and|andn|or|xor)pd"), ("move", r"(mov|unpck|shufpd|pxor|punpck|pshuf|cvt).*"),
         ("flow", r"j[a-z]+|ret[a-z]*|call[a-z]*|push|pop")]
cost = dict.fromkeys([k for k, _ in kinds] + ["int", "lib"], 0)
names, ob, addr, skip, total, summary = {}, "", 0, False, 0, None
for line in open(sys.argv[2]):
    if line.startswith(("ob=", "cob=")):  # object ids are shared by ob= and cob=
        m = re.match(r"c?ob=(\(\d+\))\s*(.*)", line)
        if m.group(2):
            names[m.group(1)] = m.group(2).strip()
        if line.startswith("ob="):
            ob = names[m.group(1)]
    elif line.startswith("calls="):
        skip = True
    elif line.startswith("summary:"):
        summary = int(line.split()[1])
    elif re.match(r"(0x[0-9a-f]+|[+-]\d+|\*)\s", line):
        f = line.split()
        if f[0].startswith("0x"):
            addr = int(f[0], 16)
        elif f[0][0] in "+-":
            addr += int(f[0])
        if skip:
            skip = False
            continue
        if len(f) < 3:
            continue
        ir = int(f[2])
        total += ir
        if not ob.endswith("count_instructions"):
            cost["lib"] += ir
            continue
        k = mn.get("%x" % addr, "?")
        cost[next((c for c, r in kinds if re.fullmatch(r, k)), "int")] += ir
n = int(sys.argv[3])
assert total == summary, (total, summary)
print("%-11s %10.1f " % (sys.argv[4], total / n) + " ".join("%6.1f" % (v / n) for v in cost.values()))
EOF

printf '%-11s %10s %6s %6s %6s %6s %6s %6s %6s\n' operation instr/call arith cmp mask move flow int lib
for op in none double_add add mul div sqrt exp log sin atan; do
    valgrind --tool=callgrind --dump-instr=yes --toggle-collect="op_$op" \
        --callgrind-out-file="$out/$op.cg" "$prog" "$op" "$calls" >/dev/null 2>"$out/$op.log"
    python3 "$out/mix.py" "$out/mnemonics" "$out/$op.cg" "$calls" "$op"
done
