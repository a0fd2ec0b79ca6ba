#!/usr/bin/env bash
# Installs, as root on Debian 12, the libraries absbench-stats is built with (JSON, seccomp); quick
# when they are there. The README's first command runs it before it configures.
set -euo pipefail
packages=(nlohmann-json3-dev libseccomp-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0
if ((EUID != 0)); then
  echo "tools/install_build_deps.sh: absbench-stats is built with these packages, which are missing: ${missing[*]}" >&2
  echo "Installing them needs root: run this script as root (or with sudo), or install them." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
