#!/usr/bin/env bash
# bash tools/windows_zip.sh: builds absbench.exe for IA-32 and x86-64 and absbench-stats.exe with
# mingw-w64, and packs them with the README and docs/windows.md into build/win64/absbench-VERSION-windows.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target absbench
cmake --preset win64 -DABSBENCH_IA32_EXE="$PWD/build/win32/absbench.exe" >/dev/null
cmake --build --preset win64 --target absbench absbench-stats
cd build/win64 && cpack -G ZIP
