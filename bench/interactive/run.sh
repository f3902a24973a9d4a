#!/usr/bin/env bash
# Interactive benchmark: nelk next to bash and dash, in the same run. Builds a Release
# nelk and the driver, then prints a Markdown table (see README.md for the columns).
#   bench/interactive/run.sh [SAMPLE_ROUNDS]
# NK_BENCH_STRACE=1 also traces 5 idle seconds with strace for the futex column. A second
# table splits nelk's echo by time stamps from a build that records them.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$("$top/bench/build-nelk.sh")
rounds=${1:-200}

g++ -std=c++20 -O2 -Wall -Wextra -o "$build/interactive-driver" "$top/bench/interactive/driver.cpp" -lutil

echo "| shell | echo median ms | echo p90 ms | keys | paste ms | paste frames | Tab ms | idle CPU % of one core | wake-ups/s | switches per redraw | futex calls per redraw (wasted) | peak RSS KiB | sampler round ms | nelk's sampler round ms |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
"$build/interactive-driver" nelk "$rounds" -- "$build/main/nelk"
if command -v bash >/dev/null; then
  "$build/interactive-driver" "bash --norc -i" "$rounds" -- bash --norc -i
fi
if command -v dash >/dev/null; then
  "$build/interactive-driver" "dash -i" "$rounds" -- dash -i
fi

echo
"$top/bench/interactive/echo_stamps.py" "$("$top/bench/build-nelk.sh" stamps)/main/nelk" 300
