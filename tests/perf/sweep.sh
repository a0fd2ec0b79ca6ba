#!/usr/bin/env bash
# Speed and reproducibility of absbench-stats --sweep, as a benchmark, not a test: a clean build,
# then two default sweeps of the twelve kernels with different seeds, the wall time and noise floor
# of each, and the largest difference between their medians over the 24 nets (pass and kernel), in
# core cycles. Targets on the 2-core build machine: at most 10 s per sweep, at most 0.03 cycle
# between the two sweeps' medians, on a quiet host and with a busy process on the measuring core.
set -euo pipefail
source "$(dirname "$0")/clean_build.sh"
grep -m1 'model name' /proc/cpuinfo | sed 's/.*: /processor: /'

for sweep in 1 2; do
  start=$(date +%s%N)
  "$work/build/absbench-stats" --sweep --seed "$sweep" --csv "$work/$sweep.csv" >"$work/$sweep.txt"
  tenths=$((($(date +%s%N) - start) / 100000000))
  printf 'sweep %d (seed %d): %d.%d s, %s; %s; %s\n' "$sweep" "$sweep" $((tenths / 10)) $((tenths % 10)) \
    "$(grep -o 'core clock: [0-9.]* to [0-9.]* GHz' "$work/$sweep.txt")" \
    "$(grep -m1 -o '^noise: [0-9.]* cycle' "$work/$sweep.txt")" \
    "$(grep -m1 -o 'ended when [^,]*' "$work/$sweep.txt")"
  grep -A1 '^noise: this host' "$work/$sweep.txt" || true
done

# The median over the placements of every pass and kernel, in cycles, as "pass/kernel,median".
medians() {
  tail -n +2 "$1" | sort -t, -k1,1 -k2,2 -k6,6g |
    awk -F, '{ key = $1 "/" $2; values[key, ++count[key]] = $6 }
      END { for (key in count) { n = count[key]
              median = n % 2 ? values[key, (n + 1) / 2] : (values[key, n / 2] + values[key, n / 2 + 1]) / 2
              print key "," median } }' | sort
}
join -t, <(medians "$work/1.csv") <(medians "$work/2.csv") |
  awk -F, '{ difference = $2 - $3; if (difference < 0) difference = -difference
             if (difference >= largest) { largest = difference; where = $1 } }
       END { printf "largest difference between the two sweeps'"'"' medians over %d nets: %.3f cycle (%s)\n", NR, largest, where }'
