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
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0
if ((EUID != 0)); then
  echo "tests/install_deps.sh: these packages are missing: ${missing[*]}" >&2
  echo "Installing them needs root: run this script as root (or with sudo), or install them." >&2
  exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
