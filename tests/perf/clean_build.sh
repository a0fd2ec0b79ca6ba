# Sourced by the benchmark scripts: a clean build of absbench-stats in a temporary folder, $work,
# removed when the script ends, so that a measurement never runs a stale binary.
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/build" --target absbench-stats >/dev/null
