#!/usr/bin/env bash
# cmake --install puts both programs in PREFIX/bin, and the installed absbench-stats -n 1 starts the
# installed benchmark (it is stopped once it is seen running: a whole run takes most of a minute).
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for program in absbench absbench-stats; do
  [[ -x $prefix/bin/$program ]] || { echo "not installed: $prefix/bin/$program"; exit 1; }
done
cd /
"$prefix/bin/absbench-stats" -n 1 </dev/null >/dev/null 2>&1 &
stats=$!
started=""
for _ in $(seq 100); do
  for child in $(pgrep -P "$stats" || true); do
    [[ $(readlink "/proc/$child/exe" 2>/dev/null) == "$prefix/bin/absbench" ]] && started=$child
  done
  [[ -n $started ]] && break
  sleep 0.05
done
kill -INT "$stats"
status=0
wait "$stats" || status=$?
[[ -n $started ]] || { echo "the installed absbench-stats did not start $prefix/bin/absbench"; exit 1; }
[[ $status == 130 ]] || { echo "absbench-stats ended with $status after Ctrl-C, not 130"; exit 1; }
echo "installed in $prefix/bin; absbench-stats -n 1 started the installed absbench"
