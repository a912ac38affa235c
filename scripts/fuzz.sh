#!/usr/bin/env bash
# Builds the INI fuzzer with clang in build/fuzz and runs it for a bounded
# time on a copy of the seed corpus in fuzz/corpus.
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
cmake --build "$build" --target ini_fuzzer -j2

# The corpus grows while the fuzzer runs; keep the committed seeds as they are.
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/* "$corpus"/

"$build/bin/ini_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/" "$corpus"
