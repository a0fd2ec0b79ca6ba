#!/usr/bin/env bash
# bash emulated_runs_test.sh TESTS_DIR: the probe for Wine's 32-bit loader and the guard around
# emulated test programs, against stand-ins for Wine, its loader and the compiler.
set -u
tests_dir=$1
# The run that starts this test may itself ask to act as if the loader were missing.
unset ABSBENCH_NO_WINE32
source "$tests_dir/wine32_probe.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Stand-ins: a loader file, a compiler that writes its -o file, and Wines that print $1 and exit $2.
touch "$work/loader" && chmod +x "$work/loader"
printf '#!/bin/sh\nwhile [ $# -gt 1 ]; do shift; done; echo MZ >"$1"\n' >"$work/cc"
stand_in_wine() {
  printf '#!/bin/sh\nprintf "%s"\nexit %s\n' "$2" "$3" >"$work/$1"
  chmod +x "$work/$1" "$work/cc"
}
stand_in_wine silent "" 0
stand_in_wine speaks 'wine32 probe\\r\\n' 0
stand_in_wine fails "" 3

wine32_loader_runs "$work/loader" "$work/speaks" "$work/cc" ||
  fail "a Wine that prints the probe's line was not taken as a 32-bit loader: $why_no_wine32"
if wine32_loader_runs "$work/loader" "$work/silent" "$work/cc"; then
  fail "a Wine that exits 0 silently was taken as a 32-bit loader"
elif [[ $why_no_wine32 != *"did not run a 32-bit program"* ]]; then
  fail "a silent Wine's reason: $why_no_wine32"
fi
if wine32_loader_runs "$work/no-such-loader" "$work/speaks" "$work/cc"; then
  fail "a missing loader was taken as there"
elif [[ $why_no_wine32 != "Wine's 32-bit loader is not installed"* ]]; then
  fail "a missing loader's reason: $why_no_wine32"
fi
if ABSBENCH_NO_WINE32=1 wine32_loader_runs "$work/loader" "$work/speaks" "$work/cc"; then
  fail "ABSBENCH_NO_WINE32=1 did not make the loader count as missing"
fi

# The guard: an emulated run that exits 0 with no output fails, in words naming the emulator;
# anything else passes through as it was.
output=$(bash "$tests_dir/run_emulated.sh" wine "$work/silent" prog.exe --gtest_list_tests 2>&1)
status=$?
((status == 1)) || fail "a silent exit 0 under the guard ended with $status"
[[ $output == *"under wine, "*"prog.exe --gtest_list_tests' exited 0 with no output"* ]] ||
  fail "a silent exit 0's words: $output"
output=$(bash "$tests_dir/run_emulated.sh" wine "$work/speaks" prog.exe)
status=$?
((status == 0)) && [[ $output == "wine32 probe"* ]] ||
  fail "a run with output came through the guard as $status, '$output'"
bash "$tests_dir/run_emulated.sh" wine "$work/fails" prog.exe
status=$?
((status == 3)) || fail "a failing run's exit code came through the guard as $status"

if ((failures > 0)); then
  echo "$failures failed"
  exit 1
fi
echo "wine32 probe and emulator guard: passed"
