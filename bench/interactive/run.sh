#!/usr/bin/env bash
# Interactive benchmark: nelk next to bash, dash, zsh and fish, in the same run. Builds a
# Release nelk with its sampler, the sampler of commit 2047ae2 (the C++ one) for the A/B,
# and the driver; then prints two Markdown tables (see README.md for the columns).
#   bench/interactive/run.sh [SAMPLER_RUNS]      # default 500, rounds of spawn_timer.py
# NK_BENCH_STRACE=1 also traces 5 idle seconds with strace for the futex column;
# NK_BENCH_NO_TAB=1 leaves Tab out; NK_BENCH_STAMPS=1 adds the echo split by time stamps;
# NK_BASELINE=DIR adds a row for another build folder's main/nelk with its sampler/nelk-cpu.
# As root, zsh and fish are installed when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$("$top/bench/build-nelk.sh")
runs=${1:-500}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$(id -u)" = 0 ] && ! { command -v zsh && command -v fish; } >/dev/null; then
  apt-get install -y zsh fish >/dev/null 2>&1 || echo "zsh and fish could not be installed" >&2
fi

# The old sampler, built as its Release build was: a dynamically linked C++ program.
git -C "$top" show 2047ae2:sampler/nelk-cpu.cpp >"$work/old-nelk-cpu.cpp"
g++ -std=c++20 -O3 -DNDEBUG -o "$work/old-nelk-cpu" "$work/old-nelk-cpu.cpp"
new_cpu=$build/sampler/nelk-cpu
old_cpu=$work/old-nelk-cpu

# One sampler run next to /bin/true, in turn, each keeping its state in a HOME of its own.
"$top/bench/interactive/spawn_timer.py" "$runs" /bin/true=/bin/true "nelk-cpu=$new_cpu" \
  "old nelk-cpu=$old_cpu"
echo
echo "| shell | echo median ms | echo p90 ms | keys | paste ms | paste frames | Tab ms | idle CPU, own threads ms/s | idle CPU, children ms/s | wake-ups/s | switches per redraw | futex calls per redraw (wasted) | peak RSS KiB | RSS growth, 2048 lines of 1,000, KiB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
NK_BENCH_CPU=$new_cpu "$build/bench/interactive_driver" "nelk" -- "$build/main/nelk"
NK_BENCH_CPU=$old_cpu "$build/bench/interactive_driver" "nelk, old sampler" -- "$build/main/nelk"
if [ -n "${NK_BASELINE:-}" ]; then
  base=$(realpath "$NK_BASELINE")
  NK_BENCH_CPU=$base/sampler/nelk-cpu "$build/bench/interactive_driver" "nelk, baseline" -- "$base/main/nelk"
fi
for shell in "bash --norc -i" "dash -i" "zsh -f -i" "fish --no-config -i"; do
  if command -v "${shell%% *}" >/dev/null; then
    # shellcheck disable=SC2086
    "$build/bench/interactive_driver" "$shell" -- $shell || echo "| $shell | failed |"
  fi
done

if [ "${NK_BENCH_STAMPS:-}" = 1 ]; then
  echo
  "$top/bench/interactive/echo_stamps.py" "$("$top/bench/build-nelk.sh" stamps)/main/nelk" 300
fi
