#!/usr/bin/env bash
# Speed and reproducibility of absbench-stats --sweep, as a benchmark, not a test: two default
# sweeps of the twelve kernels with different seeds, the time of each, and the largest difference
# between their medians over the 24 nets (pass and kernel). Targets on the 2-core build machine:
# at most 60 s per sweep, at most 10 ms between the two sweeps' medians.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset default >/dev/null
cmake --build --preset default --target absbench-stats >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for sweep in 1 2; do
  start=$(date +%s%N)
  build/default/absbench-stats --sweep --seed "$sweep" --csv "$work/$sweep.csv" >"$work/$sweep.txt"
  tenths=$((($(date +%s%N) - start) / 100000000))
  printf 'sweep %d (seed %d): %d.%d s, %s\n' "$sweep" "$sweep" $((tenths / 10)) $((tenths % 10)) \
    "$(grep -o 'core clock: about [0-9.]* GHz' "$work/$sweep.txt")"
done

# The median over the placements of every pass and kernel, as "pass/kernel,median".
medians() {
  tail -n +2 "$1" | sort -t, -k1,1 -k2,2 -k5,5g |
    awk -F, '{ key = $1 "/" $2; values[key, ++count[key]] = $5 }
      END { for (key in count) { n = count[key]
              median = n % 2 ? values[key, (n + 1) / 2] : (values[key, n / 2] + values[key, n / 2 + 1]) / 2
              print key "," median } }' | sort
}
join -t, <(medians "$work/1.csv") <(medians "$work/2.csv") |
  awk -F, '{ difference = $2 - $3; if (difference < 0) difference = -difference
             if (difference >= largest) { largest = difference; where = $1 } }
       END { printf "largest difference between the two sweeps'"'"' medians over %d nets: %.1f ms (%s)\n", NR, largest, where }'
