#!/usr/bin/env bash
# bash tests/perf/wine.sh [PAIRS]: the Windows build under wine64 against the Linux build on this
# host. First how long a sweep with --rounds fixed takes in each, in PAIRS interleaved pairs (5
# unless given) on the last CPU, with the medians and their ratio (the Windows one should take at
# most 1.5 times as long); then one record of every measure from each, made one after the other
# on that CPU, set side by side by --compare, with the count of figures it calls the same. Exits 1
# when the Windows build takes more than 1.5 times as long or fewer than 90% of them are the same.
# A benchmark, not a test: clean builds of both, in a temporary folder.
set -euo pipefail
pairs=${1:-5}
source "$(dirname "$0")/clean_build.sh"
cmake -S . -B "$work/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$work/win64" --target absbench-stats >/dev/null
grep -m1 'model name' /proc/cpuinfo | sed 's/.*: /processor: /'

export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
timeout 300 "$wine" wineboot --init </dev/null >/dev/null 2>&1
# One server for all the runs, so that no run pays for starting it.
wineserver --persistent </dev/null >/dev/null 2>&1 || true
trap 'wineserver --kill 2>/dev/null; rm -rf "$work"' EXIT

cpu=$(($(nproc) - 1))
linux=("$work/build/absbench-stats")
windows=("$wine" "$work/win64/absbench-stats.exe")

# Seconds one sweep took, the program's words first, then the sweep's arguments after "--".
seconds() {
  local program=() start
  while [[ $1 != -- ]]; do program+=("$1"); shift; done
  shift
  start=$(date +%s%N)
  "${program[@]}" --sweep --cpu "$cpu" --seed 7 "$@" </dev/null >/dev/null || {
    echo "wine.sh: ${program[*]} --sweep $* failed" >&2
    kill $$
  }
  awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f\n", ns / 1e9 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

sweep=(--measure all --rounds 16)
echo "sweep ${sweep[*]}:"
on_linux=() on_wine=()
for ((pair = 1; pair <= pairs; ++pair)); do
  on_linux+=("$(seconds "${linux[@]}" -- "${sweep[@]}")")
  on_wine+=("$(seconds "${windows[@]}" -- "${sweep[@]}")")
  echo "  pair $pair: Linux ${on_linux[-1]} s, Wine ${on_wine[-1]} s"
done
linux_median=$(printf '%s\n' "${on_linux[@]}" | median)
wine_median=$(printf '%s\n' "${on_wine[@]}" | median)
ratio=$(awk -v a="$wine_median" -v b="$linux_median" 'BEGIN { printf "%.3f", a / b }')
echo "  medians: Linux $linux_median s, Wine $wine_median s, ratio $ratio"

echo "records of every measure, Linux then Wine:"
"${linux[@]}" --sweep --measure all --cpu "$cpu" --json "$work/linux.json" </dev/null >/dev/null
(cd "$work" && "${windows[@]}" --sweep --measure all --cpu "$cpu" --json wine.json </dev/null >/dev/null)
"${linux[@]}" --compare --csv "$work/compare.csv" "$work/linux.json" "$work/wine.json" >/dev/null
same=$(awk -F, 'NR > 1 && $4 ~ /wine\.json$/ { ++all; if ($8 == "same") ++same }
                END { printf "%d of %d", same, all }' "$work/compare.csv")
echo "  $same figures the same"
# What the Windows build promises against the Linux one on one host: at most 1.5 times the time,
# and at least 90% of the figures the same.
awk -v ratio="$ratio" -v same="${same% of *}" -v all="${same#* of }" \
  'BEGIN { exit !(ratio <= 1.5 && all > 0 && same >= 0.9 * all) }' || {
  echo "wine.sh: short of its promise (at most 1.5 times the time, 90% of the figures the same)" >&2
  exit 1
}
