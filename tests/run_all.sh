#!/usr/bin/env bash
# Builds and runs every test: the default build (unit, layout and end-to-end tests, formatting),
# then the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in default asan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
