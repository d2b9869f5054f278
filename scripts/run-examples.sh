#!/usr/bin/env bash
# Builds the programs and runs the demo synthesis.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh default
build/bin/quillon-demo
