#!/usr/bin/env bash
# The three figures checked against published instruction tables, as a benchmark, not a test: a
# clean build, then two default `absbench-stats --sweep --measure all` runs with one more kernel,
# four dependent `add eax, 0`; per kernel and pass the measured latency (median over the
# placements, cycles per copy) beside the dependent chain that published per-instruction latencies
# give, the four additions' throughput beside their latency, and the largest difference between the
# two runs.
#
# Expected chains (published per-instruction measurements for Zen 3, Zen 4, Zen 5, Ice Lake and
# Golden Cove): NEG, SAR, ADD, XOR, SUB, CMOVcc and CDQ take 1 cycle; MOV between 32-bit registers
# takes 0 where the core eliminates moves (AMD Zen 1 to 5, families 23, 25 and 26; most Intel
# cores) and 1 where it does not (Ice Lake and its sibling Tiger Lake). So the chain through abs3 is SAR, ADD, XOR and the final MOV; abs4
# the same with the sweep's MOV EAX,ECX; abs5 CDQ, XOR, SUB; abs7 and abs11 a MOV, NEG and CMOV.
# The branchy kernels have no published chain: a predicted branch is not a dependency.
#
# Targets on the 2-core build machine: abs3, abs4, abs5, abs7, abs11 and the four additions within
# 0.05 cycle of their chain in both passes; the two runs within 0.02 cycle in latency and
# throughput; each run within 20 s; on a quiet host and with a busy process on the measuring core.
set -euo pipefail
source "$(dirname "$0")/clean_build.sh"

model=$(grep -m1 '^model name' /proc/cpuinfo | sed 's/.*: //')
vendor=$(grep -m1 '^vendor_id' /proc/cpuinfo | sed 's/.*: //')
family=$(grep -m1 '^cpu family' /proc/cpuinfo | sed 's/.*: //')
number=$(grep -m1 '^model[[:space:]]*:' /proc/cpuinfo | sed 's/.*: //')
moves=0  # cycles per MOV between registers on the chain
if [[ $vendor == GenuineIntel && $family == 6 ]] && [[ " 106 108 125 126 140 141 " == *" $number "* ]]; then
  moves=1
fi
echo "processor: $model ($vendor family $family model $number); a MOV between registers costs $moves cycle(s) on a chain"

for run in 1 2; do
  start=$(date +%s%N)
  "$work/build/absbench-stats" --sweep --measure all --seed "$run" --csv "$work/$run.csv" \
    --kernel-asm 'adds=add eax, 0; add eax, 0; add eax, 0; add eax, 0' >"$work/$run.txt"
  tenths=$((($(date +%s%N) - start) / 100000000))
  printf 'run %d (seed %d): %d.%d s, %s\n' "$run" "$run" $((tenths / 10)) $((tenths % 10)) \
    "$(grep -o 'core clock: [0-9.]* to [0-9.]* GHz' "$work/$run.txt")"
  grep '^noise: ' "$work/$run.txt" | sed 's/, the median.*; ended when \([^,]*\).*/, ended when \1/; s/^/  /'
done

# The median over the placements of every measure, pass and kernel, as "measure/pass/kernel,median".
medians() {
  tail -n +2 "$1" | sort -t, -k7,7 -k1,1 -k2,2 -k6,6g |
    awk -F, '{ key = $7 "/" $1 "/" $2; values[key, ++count[key]] = $6 }
      END { for (key in count) { n = count[key]
              median = n % 2 ? values[key, (n + 1) / 2] : (values[key, n / 2] + values[key, n / 2 + 1]) / 2
              print key "," median } }' | sort
}
join -t, <(medians "$work/1.csv") <(medians "$work/2.csv") >"$work/both.csv"

echo
echo "latency, cycles per copy (median over the placements; two runs), against the expected chain"
printf '%-10s %-6s %8s %8s %9s\n' pass kernel "run 1" "run 2" expected
awk -F, -v moves="$moves" '
  BEGIN { chain["abs3"] = 3 + moves; chain["abs4"] = 3 + moves; chain["abs5"] = 3
          chain["abs7"] = 2 + moves; chain["abs11"] = 2 + moves; chain["adds"] = 4 }
  { split($1, key, "/"); if (key[1] != "latency") next
    expected = key[3] in chain ? sprintf("%9d", chain[key[3]]) : sprintf("%9s", "-")
    mark = ""
    if (key[3] in chain) for (i = 2; i <= 3; ++i) {
      off = $i - chain[key[3]]; if (off < 0) off = -off
      if (off > 0.05) mark = "  MORE THAN 0.05 CYCLE AWAY"
    }
    printf "%-10s %-6s %8.2f %8.2f %s%s\n", key[2], key[3], $2, $3, expected, mark }' \
  "$work/both.csv" | sort -k1,1r -k2,2V

echo
echo "four dependent additions: throughput, cycles per copy of glue and kernel (independent copies)"
grep '^throughput/.*/adds,' "$work/both.csv" | awk -F, '{ split($1, key, "/"); printf "%-10s %8.2f %8.2f\n", key[2], $2, $3 }'

awk -F, '{ difference = $2 - $3; if (difference < 0) difference = -difference
           split($1, key, "/")
           if (difference >= largest[key[1]]) { largest[key[1]] = difference; where[key[1]] = $1 } }
     END { for (measure in largest)
             printf "largest difference between the two runs, %s: %.3f cycle (%s)\n", measure, largest[measure], where[measure] }' \
  "$work/both.csv" | sort
