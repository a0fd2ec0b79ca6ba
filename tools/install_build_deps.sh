#!/usr/bin/env bash
# Installs, as root on Debian 12, the libraries absbench-stats is built with (JSON, seccomp); quick
# when they are there. The README's first command runs it before it configures.
set -euo pipefail
source "$(dirname "$0")/install_missing.sh"
install_missing tools/install_build_deps.sh "" nlohmann-json3-dev libseccomp-dev
