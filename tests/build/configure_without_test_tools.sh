#!/usr/bin/env bash
# The first command's preset configures with nothing but CMake, Ninja, a C++ compiler and binutils
# (GoogleTest hidden from CMake, clang-format hidden from PATH), to build the two programs alone.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in /usr/bin/*; do
  case ${tool##*/} in clang-format*) ;; *) ln -s "$tool" "$work/bin/" ;; esac
done
cd "$source_dir"
PATH="$work/bin" cmake --preset default -B "$work/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
programs=$(PATH="$work/bin" ninja -C "$work/build" -t targets all | grep -E '_EXECUTABLE_LINKER' |
  cut -d: -f1 | sort | tr '\n' ' ')
if [[ $programs != "absbench absbench-stats " ]]; then
  echo "the first command's build would link: $programs"
  exit 1
fi
echo "configured without the test tools; it links: $programs"
