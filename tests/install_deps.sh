#!/usr/bin/env bash
# Installs, as root on Debian 12, what the tests of every target need; quick when all is there.
set -euo pipefail
packages=(
  cmake ninja-build g++ libgtest-dev googletest clang-format # Linux x86-64
  nlohmann-json3-dev                                         # result records (--json, --compare)
  libxml2-utils                                              # xmllint, for the chart
  llvm-19                                                    # llvm-mca and llvm-mc, for --predict
  libseccomp-dev                                             # the sweep's system-call filter
  g++-multilib qemu-user-static                              # Linux IA-32, natively or emulated
  g++-mingw-w64-x86-64-posix wine64                          # 64-bit Windows, run under Wine
  g++-mingw-w64-i686-posix wine wine32:i386                  # 32-bit Windows, run under Wine
)
source "$(dirname "$0")/../tools/install_missing.sh"
install_missing tests/install_deps.sh i386 "${packages[@]}"
# Without Wine's 32-bit loader every other test still runs; tests/run_all.sh says what it skips.
if ((${#foreign_not_installed[@]} > 0)); then
  echo "tests/install_deps.sh: WARNING: Wine's 32-bit loader (${foreign_not_installed[*]}) could" \
    "not be installed ($foreign_failure); the 32-bit Windows tests that start the program will" \
    "be skipped." >&2
fi
