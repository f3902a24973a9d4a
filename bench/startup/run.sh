#!/usr/bin/env bash
# Start-to-exit of nelk's one-shots next to dash, bash and /bin/true, in the same run, in
# microseconds, each median also as its distance from dash's (the goal: within 300 µs).
# The commands take turns, one run each in a shuffled order per round, so a build that
# loads the machine halfway through slows them all alike; every figure includes the same
# spawn and wait of the measuring python3.
# Builds a Release nelk.
#   bench/startup/run.sh [ROUNDS]   # default 1000 rounds, after 100 unmeasured
#   NK_BASELINE=FILE                # also FILE -t, another nelk (an older build) to compare
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$("$top/bench/build-nelk.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # -t reads the total here: no file, prints 0.00
nelk="$build/main/nelk"
commands=("$nelk -t" "$nelk -v")
[ -n "${NK_BASELINE:-}" ] && commands+=("$(realpath "$NK_BASELINE") -t")
python3 - "${1:-1000}" "${commands[@]}" "dash -c :" "bash --norc -c :" "/bin/true" <<'PY'
import os, random, shutil, statistics, sys, time
rounds, commands = int(sys.argv[1]), sys.argv[2:]
argvs = [c.split() for c in commands]
paths = [shutil.which(a[0]) for a in argvs]
quiet = [(os.POSIX_SPAWN_DUP2, os.open(os.devnull, os.O_WRONLY), 1)]
times = {c: [] for c in commands}
for round in range(100 + rounds):
    for i in random.sample(range(len(commands)), len(commands)):
        start = time.perf_counter_ns()
        os.waitpid(os.posix_spawn(paths[i], argvs[i], os.environ, file_actions=quiet), 0)
        if round >= 100:
            times[commands[i]].append((time.perf_counter_ns() - start) / 1000)
dash = statistics.median(times["dash -c :"])
print("| command | median µs | mean µs | min µs | median − dash µs |")
print("|:---|---:|---:|---:|---:|")
for c, t in times.items():
    print(f"| `{c}` | {statistics.median(t):.0f} | {statistics.mean(t):.0f} | {min(t):.0f} "
          f"| {statistics.median(t) - dash:+.0f} |")
PY
