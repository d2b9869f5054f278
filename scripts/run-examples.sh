#!/usr/bin/env bash
# Builds the programs and renders every texture document in examples/ to a
# PNG file in out/examples/ (or the folder given), with a fixed seed so that
# every run gives the same pictures.
# Usage: scripts/run-examples.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default

out=${1:-out/examples}
shopt -s nullglob
documents=(examples/*.qln)
if ((${#documents[@]} == 0)); then
  echo "No texture documents in examples/." >&2
  exit 1
fi
build/bin/quillon-render --seed 1 --format png -d "$out" -- "${documents[@]}"
echo "Rendered ${#documents[@]} example(s) to $(cd "$out" && pwd)/"
