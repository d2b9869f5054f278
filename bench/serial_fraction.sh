#!/usr/bin/env bash
# How much of a render runs outside the worker pool: renders each document
# on one thread under `perf record`, counts the samples whose stack holds no
# parallel loop of the pool, and lists where those serial samples are. The
# share bounds the speed-up of more threads (two threads: 2 / (1 + share))
# and does not depend on what else the machine runs.
#
# Usage: bench/serial_fraction.sh [BUILD_DIR] DOCUMENT...
# Environment: SIZE (default 1024x1024), SEED (default 1), TOP (default 12)
# serial stacks listed, FREQ (default 1000) samples per second.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
if [ $# -gt 0 ] && [ -d "$1" ]; then
  build=$1
  shift
fi
[ $# -gt 0 ] || { echo "usage: $0 [BUILD_DIR] DOCUMENT..." >&2; exit 2; }
render=$build/bin/quillon-render
[ -x "$render" ] || { echo "missing $render" >&2; exit 1; }
command -v perf >/dev/null || { echo "missing perf" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for doc in "$@"; do
  # The noise layers' blocks sit deep on the stack: copy 64 KB of it.
  perf record -q -F "${FREQ:-1000}" --call-graph dwarf,65528 -o "$work/perf.data" \
    "$render" --seed "${SEED:-1}" --size "${SIZE:-1024x1024}" --format bmp --threads 1 \
    -o "$work/out.bmp" "$doc" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  echo "== $(basename "$doc") at ${SIZE:-1024x1024}, one thread"
  perf script -i "$work/perf.data" 2>/dev/null | python3 -c '
import collections, re, sys
top = int(sys.argv[1])
samples, frames = [], None
for line in sys.stdin:
    line = line.rstrip("\n")
    if not line.strip():
        if frames is not None: samples.append(frames)
        frames = None
    elif not line[0].isspace():
        frames = []
    elif frames is not None:
        parts = line.split(None, 1)
        if len(parts) == 2:
            name = re.sub(r"\+0x[0-9a-f]+", "", parts[1])
            frames.append(re.sub(r" \(/.*\)$", "", name))
if frames is not None: samples.append(frames)
def short(f): return f.split("(")[0].replace("quillon::", "")[:60]
serial = collections.Counter()
for fr in samples:
    if any("tbb::detail" in f and ("start_for" in f or "task_dispatcher" in f) for f in fr):
        continue
    names = [short(f) for f in fr if "quillon::" in f and "_Function_handler" not in f]
    serial[" < ".join(names[:3]) if names else (short(fr[0]) if fr else "?")] += 1
total = max(len(samples), 1)
share = sum(serial.values()) / total
print(f"{len(samples)} samples, serial {100 * share:.1f}%, "
      f"two threads at most {2 / (1 + share):.2f}x")
for key, n in serial.most_common(top):
    print(f"  {100 * n / total:5.1f}%  {key}")
' "${TOP:-12}"
done
