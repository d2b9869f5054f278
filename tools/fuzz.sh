#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: tools/fuzz.sh [seconds per target] [target...]
#   tools/fuzz.sh 60                      every target for a minute
#   tools/fuzz.sh 300 bitmap_reader_fuzz  one target for five minutes
# Corpora grow in build-fuzz/corpus/<target> and are kept between runs;
# crashing inputs land in build-fuzz/crashes/<target>/. Copy each one into
# tests/data/hostile/ so the ordinary test suite keeps checking it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "fuzz.sh: the time per target must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi

all_targets=(texture_parser_fuzz render_document_fuzz bitmap_reader_fuzz jpeg_reader_fuzz png_reader_fuzz)
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (apt-get install clang)" >&2
  exit 2
fi

build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DQUILLON_FUZZ=ON \
  -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_BUILD_JOBS:-2}"

# Seeds: the documents and pictures the project already has, and the
# hostile corpus.
seed_dirs() {
  case $1 in
    texture_parser_fuzz | render_document_fuzz)
      echo examples tests/data/format tests/data/hostile/documents tests/fuzz/seeds/documents ;;
    bitmap_reader_fuzz) echo tests/data/hostile/bmp tests/fuzz/seeds/bmp ;;
    jpeg_reader_fuzz) echo tests/data/hostile/jpeg tests/fuzz/seeds/jpeg ;;
    png_reader_fuzz) echo tests/data/hostile/png tests/fuzz/seeds/png ;;
  esac
}

# Documents are text of a few kilobytes; pictures need room for pixels.
max_len() {
  case $1 in
    texture_parser_fuzz | render_document_fuzz) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

# Keywords help the texture targets past the parser's first checks.
dict_option() {
  case $1 in
    texture_parser_fuzz | render_document_fuzz) echo "-dict=tests/fuzz/texture.dict" ;;
  esac
}

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  crashes=$build/crashes/$target
  mkdir -p "$corpus" "$crashes"
  seeds=()
  for dir in $(seed_dirs "$target"); do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  echo "== $target for ${seconds}s"
  log=$build/$target.log
  if ! "$build/bin/$target" "$corpus" "${seeds[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
      -max_len="$(max_len "$target")" -print_final_stats=1 $(dict_option "$target") \
      -artifact_prefix="$crashes/" >"$log" 2>&1; then
    echo "fuzz.sh: $target found a failure; see $log and $crashes/" >&2
    grep -m5 -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" >&2 || true
    status=1
  fi
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|cov: .*ft:" "$log" | tail -3 || true
done
exit $status
