#!/usr/bin/env bash
# bash tests/perf/against.sh REV [PAIRS]: how long a default sweep, one of every measure, and a
# latency and throughput sweep with --predict take here and at REV, each with --rounds fixed so
# that both make the same work, in PAIRS interleaved pairs (5 unless given) on the last CPU;
# prints each pair and the medians. A sweep that fails ends the script.
# A benchmark, not a test: a clean build of each, in a temporary folder.
set -euo pipefail
rev=${1:?usage: against.sh REV [PAIRS]}
pairs=${2:-5}
source "$(dirname "$0")/clean_build.sh"
git worktree add --detach "$work/then" "$rev" >/dev/null 2>&1
trap 'git worktree remove --force "$work/then"; rm -rf "$work"' EXIT
cmake -S "$work/then" -B "$work/then-build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/then-build" --target absbench-stats >/dev/null
grep -m1 'model name' /proc/cpuinfo | sed 's/.*: /processor: /'

cpu=$(($(nproc) - 1))

# Seconds one sweep of $1 took with the rest of the arguments.
seconds() {
  local program=$1 start
  shift
  start=$(date +%s%N)
  "$program" --sweep --cpu "$cpu" --seed 7 "$@" >/dev/null || {
    echo "against.sh: $program --sweep $* failed" >&2
    kill $$
  }
  awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f\n", ns / 1e9 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for sweep in "--rounds 32" "--measure all --rounds 16" "--measure latency,throughput --predict --rounds 16"; do
  echo "sweep $sweep:"
  now=() then=()
  for ((pair = 1; pair <= pairs; ++pair)); do
    # shellcheck disable=SC2086
    then+=("$(seconds "$work/then-build/absbench-stats" $sweep)")
    # shellcheck disable=SC2086
    now+=("$(seconds "$work/build/absbench-stats" $sweep)")
    echo "  pair $pair: $rev ${then[-1]} s, now ${now[-1]} s"
  done
  then_median=$(printf '%s\n' "${then[@]}" | median)
  now_median=$(printf '%s\n' "${now[@]}" | median)
  echo "  medians: $rev $then_median s, now $now_median s, ratio $(awk -v a="$now_median" -v b="$then_median" 'BEGIN { printf "%.3f", a / b }')"
done
