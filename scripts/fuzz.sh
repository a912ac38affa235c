#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs them side by
# side for a bounded time, each on a copy of its seed corpus: the INI reader
# (fuzz/corpus) and gevcam's GVCP command handler (fuzz/corpus-gvcp).
# Usage: scripts/fuzz.sh [seconds]   (default 60)
# Exits non-zero on a crash, a broken invariant or a sanitizer report; the
# input that caused it is left in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh fuzz
seconds=${1:-60}
build=build/fuzz

cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVADED_BUILD_FUZZ=ON -DZAVADED_BUILD_TESTS=OFF \
  -DZAVADED_WERROR=ON
cmake --build "$build" --target ini_fuzzer gvcp_fuzzer -j2

# The corpora grow while the fuzzers run; keep the committed seeds as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local name=$1 seeds=$2 max_len=$3
  mkdir "$work/$name"
  cp "$seeds"/* "$work/$name"/
  "$build/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$build/$name-" \
    "$work/$name" >"$work/$name.log" 2>&1
}
run ini_fuzzer fuzz/corpus 8192 & ini=$!
run gvcp_fuzzer fuzz/corpus-gvcp 4096 & gvcp=$!
status=0
for job in "ini_fuzzer $ini" "gvcp_fuzzer $gvcp"; do
  set -- $job
  if wait "$2"; then
    printf '\n--- %s: passed\n' "$1"
    tail -n 12 "$work/$1.log"
  else
    status=1
    printf '\n--- %s: FAILED\n' "$1"
    cat "$work/$1.log"
  fi
done
exit "$status"
