#!/bin/sh
# Builds the shell library in Release mode and runs the completion benchmark.
# Usage: bench/completion/run.sh [ENTRIES [RUNS]]
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir="$source_dir/build/bench"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DNK_TESTS=OFF -DNK_BENCH=ON \
  >/dev/null
cmake --build "$build_dir" -j2 --target completion_bench >/dev/null
"$build_dir/bench/completion_bench" "$@"
