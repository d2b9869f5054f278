#!/usr/bin/env bash
# Checks the formatting, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default
scripts/check-format.sh
export QT_QPA_PLATFORM=offscreen
ctest --preset default -j "$(nproc)"
