#!/usr/bin/env bash
# Start-to-exit of nelk's one-shots next to dash, bash and /bin/true, in the same run.
# Builds a Release nelk; uses hyperfine (apt-get install hyperfine).
#   bench/startup/run.sh [RUNS]     # default 1000 runs of each
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$("$top/bench/build-nelk.sh")
runs=${1:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # -t reads the total here: no file, prints 0.00
nelk="$build/main/nelk"
hyperfine -N --warmup 100 --runs "$runs" --export-markdown "$work/table.md" \
  "$nelk -t" "$nelk -v" "dash -c :" "bash --norc -c :" "/bin/true" >/dev/null
cat "$work/table.md"
