#!/usr/bin/env bash
# Builds with sanitizers and runs the tests under them.
# Usage: scripts/run-sanitized-tests.sh [asan|tsan]
#   asan (default): the whole suite under the address and undefined-behaviour
#                   sanitizers, in build-asan/
#   tsan:           the synthesis, cancellation, generator and stress tests
#                   under the thread sanitizer, in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-asan}
case $preset in
  asan | tsan) ;;
  *) echo "run-sanitized-tests.sh: unknown preset '$preset' (asan or tsan)" >&2; exit 2 ;;
esac

scripts/setup.sh "$preset"
export QT_QPA_PLATFORM=offscreen
# Leaks fail the run; a report names the first bad access and stops.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
# System libraries under Qt keep some allocations until exit.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --preset "$preset" -j "$(nproc)"
