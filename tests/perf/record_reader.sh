#!/usr/bin/env bash
# How long --compare takes, and how much memory, to read or refuse a 16 MiB file of the shapes
# that strain a JSON reader: many empty objects, many empty texts, one long text, deep nesting.
# The aim: each within 2 s and 200 MB. A benchmark, not a test: a clean build, in a temporary
# folder.
set -euo pipefail
source "$(dirname "$0")/clean_build.sh"
fixture=tests/stats/fixtures/imul-once.json
python3 - "$work" <<'PY'
import sys
work, size = sys.argv[1], 16 * 1024 * 1024 - 64
def filled(name, head, item, tail):
    count = (size - len(head) - len(tail)) // len(item)
    open(f"{work}/{name}.json", "w").write(head + item * count + tail)
filled("objects", '{"schema": "absbench-result", "kernels": [{}', ", {}", "]}")
filled("texts", '{"schema": "absbench-result", "x": [""', ', ""', "]}")
filled("long-text", '{"schema": "absbench-result", "x": "', "x", '"}')
filled("nesting", "", "[", "")
PY
for shape in objects texts long-text nesting; do
  /usr/bin/time -f "$shape: %e s, %M KB at most" "$work/build/absbench-stats" --compare \
    "$work/$shape.json" "$fixture" 2>&1 >/dev/null |
    grep -v '^Command exited' | sed 's/^absbench-stats: .*json: /  refused: /' || true
done
