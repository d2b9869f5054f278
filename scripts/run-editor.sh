#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the texture editor
# with a document open (an example texture unless one is named).
# Usage: scripts/run-editor.sh [DOCUMENT...] [--seed N]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "The editor needs a graphical session (no DISPLAY or WAYLAND_DISPLAY is set)." >&2
  echo "Headless, render the examples instead: scripts/run-examples.sh" >&2
  exit 1
fi

args=("$@")
has_document=0
skip_value=0
for arg in "${args[@]}"; do
  if ((skip_value)); then skip_value=0; continue; fi
  case "$arg" in --seed) skip_value=1 ;; --*) ;; *) has_document=1 ;; esac
done
if ((!has_document)); then args+=(examples/clouds.qln); fi
exec build/bin/quillon "${args[@]}"
