#!/bin/sh
# Builds the shell library in Release mode and runs the completion benchmark.
# Usage: bench/completion/run.sh [ENTRIES [RUNS]]
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir="$source_dir/build/bench"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DNK_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target nk_shell >/dev/null
g++ -std=c++20 -O2 -Wall -Wextra -Werror -I"$source_dir/shell" -I"$source_dir/text" \
  "$source_dir/bench/completion/completion_bench.cpp" \
  "$build_dir/shell/libnk_shell.a" "$build_dir/text/libnk_text.a" -o "$build_dir/completion_bench"
"$build_dir/completion_bench" "$@"
