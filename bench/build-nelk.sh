#!/usr/bin/env bash
# Builds the Release nelk that the benchmarks measure, quietly (the log is shown on
# failure), with the interactive benchmark's driver, and prints the build folder. With "stamps", the build that records time stamps
# on a key's way to the screen (bench/interactive/echo_stamps.py), in a folder of its own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-interactive"
options=()
if [ "${1:-}" = stamps ]; then
  build="$top/build/bench-stamps"
  options=(-DNK_STAMPS=ON)
fi
log="$build.log"
mkdir -p "$top/build"
if ! { cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNK_TESTS=OFF -DNK_BENCH=ON \
         "${options[@]}" &&
       cmake --build "$build" -j2 --target nelk nelk-cpu interactive_driver; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
echo "$build"
