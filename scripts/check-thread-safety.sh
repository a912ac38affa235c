#!/usr/bin/env bash
# Has clang check the driver's locking rules (src/platform/ThreadAnnotations.h
# and the rules in src/log/ExportFrame.h): every source file of src/, as the
# given build compiles it (its compile_commands.json; default build/native),
# syntax only, with the thread-safety analysis as the only warnings, which
# are errors. Needs clang++ (scripts/setup.sh fuzz installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
jobs=${JOBS:-$(nproc)}
commands="$build/thread-safety-commands.txt"
cmake -DCOMPILE_COMMANDS="$build/compile_commands.json" -DSOURCE_DIR="$PWD/src" \
      -DCLANG="${CLANG:-clang++}" -DOUTPUT="$commands" -P cmake/ThreadSafetyCommands.cmake
count=$(wc -l <"$commands")
[ "$count" -gt 0 ] || { echo "no file of src/ in $build/compile_commands.json" >&2; exit 1; }
xargs -d '\n' -n1 -P "$jobs" sh -c <"$commands"
echo "thread-safety analysis: $count files of src/, no findings"
