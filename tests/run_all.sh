#!/usr/bin/env bash
# Builds and runs every test of every target: Linux x86-64 (unit, machine-code and end-to-end
# tests, formatting), its unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# Linux IA-32, and the 32-bit Windows program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

build_and_test() {
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
}

build_and_test default
build_and_test asan
build_and_test linux-i386

# Wine keeps its prefix inside the build tree (the same settings as the win32 test preset). One
# server kept alive for all the tests spares each the seconds Wine takes to start and stop it.
export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cmake --preset win32
cmake --build --preset win32
mkdir -p "$WINEPREFIX"
wineserver --persistent || echo "a wineserver already runs for $WINEPREFIX; the tests use it"
trap 'wineserver --kill' EXIT
wineboot --init
ctest --preset win32
