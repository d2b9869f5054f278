#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted by the root .clang-format.
# Usage: scripts/check-format.sh [--fix]   (--fix reformats the files instead)
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formatter" ]; then
  echo "check-format.sh: clang-format not found (Debian package clang-format)" >&2
  exit 2
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find engine format image cli editor saver wallpaper tests bench tools \
    \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
fi
((${#files[@]})) || exit 0

if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i -- "${files[@]}"
  exit 0
fi

# One run over every file; each violation is reported as FILE:LINE:COLUMN: error.
status=0
report=$("$formatter" --dry-run --Werror -- "${files[@]}" 2>&1) || status=$?
mapfile -t bad < <(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if ((${#bad[@]})); then
  echo "These files are not formatted (run scripts/check-format.sh --fix, or clang-format -i FILE):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
if ((status)); then
  printf '%s\n' "$report" >&2
  exit 1
fi
