#!/usr/bin/env bash
# Builds and runs every test of every target: Linux x86-64 (unit, machine-code and end-to-end
# tests, formatting), its unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# Linux IA-32, and the 64-bit and 32-bit Windows programs under Wine. Where the kernel refuses
# 32-bit programs (or ABSBENCH_NO_NATIVE_32BIT=1 says to act as if it did), the IA-32 tests run
# under qemu-user. Where the 32-bit Windows program cannot start (that kernel, or no Wine 32-bit
# loader: a registry in mid-sync may fail to install it; ABSBENCH_NO_WINE32=1 acts as if it were
# missing), its tests that start it are reported skipped with the reason, unless
# ABSBENCH_REQUIRE_WINE32=1 makes that a failure. Ends with a summary of what ran, and how.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
summary=()
failed=0

# Runs one target's configure, build and tests; $2 says how its programs run, for the summary.
# Most of this script's time is compiling: the optimised builds leave out debug information, which
# changes no instruction and took 40% of their compiling, and the sanitizers' build keeps only the
# line tables its reports need (a quarter of its compiling).
run_target() {
  local preset=$1 how=$2
  shift 2
  local start=$SECONDS
  if cmake --preset "$preset" -DBUILD_TESTING=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_DEBUG=-g1 "$@" && cmake --build --preset "$preset" &&
    ctest --preset "$preset" --parallel "$jobs"; then
    summary+=("$(printf '%-11s passed in %3d s: %s' "$preset" $((SECONDS - start)) "$how")")
  else
    summary+=("$(printf '%-11s FAILED after %d s: %s' "$preset" $((SECONDS - start)) "$how")")
    failed=1
  fi
}

# A tiny -m32 program, built and started: some kernels refuse every 32-bit program.
runs_32bit_programs() {
  [[ ${ABSBENCH_NO_NATIVE_32BIT:-} == 1 ]] && return 1
  local probe status
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' >"$probe/probe.c"
  gcc -m32 "$probe/probe.c" -o "$probe/probe" 2>/dev/null && "$probe/probe" 2>/dev/null
  status=$?
  rm -rf "$probe"
  return $status
}

# One Wine prefix in the build tree for both Windows targets, with a console that needs no display
# (the key-wait test types into one). Wine reads that setting only when its server starts, so the
# server started by wineboot must be gone before the persistent one that serves all the tests.
# Wine's services start with the first program and keep its output open: they are started here,
# on /dev/null, or CTest would wait for them to close a test's output.
prepare_wine() {
  export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver --kill 2>/dev/null
  if ! grep -qs '"Graphics"="null"' "$WINEPREFIX/user.reg"; then
    timeout 300 /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
    timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      </dev/null >/dev/null 2>&1
    timeout 60 wineserver --wait || wineserver --kill
  fi
  wineserver --persistent </dev/null >/dev/null 2>&1
  timeout 300 /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
  trap 'wineserver --kill 2>/dev/null' EXIT
}

run_target default "natively"
run_target asan "natively, unit tests only"

if runs_32bit_programs; then
  native_32bit=1
  run_target linux-i386 "natively" -DCMAKE_CROSSCOMPILING_EMULATOR=
else
  native_32bit=0
  if [[ ${ABSBENCH_NO_NATIVE_32BIT:-} == 1 ]]; then
    why_not_32bit="ABSBENCH_NO_NATIVE_32BIT=1 asks to act as if this machine could not run 32-bit programs"
  else
    why_not_32bit="this machine's kernel refuses 32-bit programs (a -m32 probe did not start)"
  fi
  run_target linux-i386 "under qemu-i386-static, because $why_not_32bit" \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v qemu-i386-static)"
fi

prepare_wine
run_target win64 "under Wine's 64-bit loader"
source tests/wine32_probe.sh
if ((native_32bit)) && wine32_loader_runs; then
  run_target win32 "under Wine" -DABSBENCH_CANNOT_RUN=
else
  if ((native_32bit)); then
    why_not_win32=$why_no_wine32
  else
    why_not_win32="$why_not_32bit, and Wine's 32-bit loader is a 32-bit program"
  fi
  run_target win32 "image and code checks only; SKIPPED the tests that start the program (unit, machine-code, report, lost-output, key-wait), because $why_not_win32" \
    "-DABSBENCH_CANNOT_RUN=$why_not_win32"
  if [[ ${ABSBENCH_REQUIRE_WINE32:-} == 1 ]]; then
    summary+=("$(printf '%-11s FAILED: ABSBENCH_REQUIRE_WINE32=1 requires the 32-bit Windows tests, but %s' win32 "$why_not_win32")")
    failed=1
  fi
fi

echo
echo "Summary (${SECONDS} s in all, ctest with $jobs parallel jobs):"
printf '  %s\n' "${summary[@]}"
exit $failed
