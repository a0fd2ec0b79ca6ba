#!/usr/bin/env bash
# Runs a test program under an emulator: bash run_emulated.sh NAME EMULATOR... PROGRAM ARGS...
# An emulator that cannot start a program (Wine without its 32-bit loader) may still exit 0 with
# nothing on standard output, which would read as an empty test list or a silent pass. Here that
# is a failure, in words that name the emulator.
name=$1
shift
output=$(mktemp) || exit 1
trap 'rm -f "$output"' EXIT
"$@" >"$output"
status=$?
cat "$output"
if ((status == 0)) && [[ ! -s $output ]]; then
  echo "under $name, '$*' exited 0 with no output: the program did not run under $name" >&2
  exit 1
fi
exit $status
