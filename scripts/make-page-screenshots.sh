#!/bin/bash
# Pictures of the editor's property pages for docs/editor-pages.md, drawn
# under a private X server so that fonts and styles are the desktop's.
# Usage: scripts/make-page-screenshots.sh [build dir] (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ -x "$build/bin/editor_tests" ] || { echo "build editor_tests first"; exit 1; }
source "$root/tests/e2e/x_session.sh"
QUILLON_PAGE_SHOTS="$root/docs/images" "$build/bin/editor_tests" --gtest_filter='PageScreenshots.*'
ls "$root"/docs/images/page-*.png
