#!/usr/bin/env python3
"""Start-to-exit time of programs run in turn, round after round, so that each sees the
same load: wall and CPU (user and system from wait4) per run, medians, and each program's
median wall time over that of the first.

    spawn_timer.py RUNS NAME=PROGRAM [NAME=PROGRAM ...]

Each program runs with no arguments, its output thrown away, and HOME set to a folder of
its own (a sampler keeps its state there between runs)."""
import os
import statistics
import sys
import tempfile
import time


def main():
    runs = int(sys.argv[1])
    programs = [argument.split("=", 1) for argument in sys.argv[2:]]
    null = os.open(os.devnull, os.O_WRONLY)
    with tempfile.TemporaryDirectory() as top:
        homes = []
        for n, _ in enumerate(programs):
            homes.append(os.path.join(top, str(n)))
            os.mkdir(homes[-1])
        walls = [[] for _ in programs]
        cpus = [[] for _ in programs]
        for round_ in range(runs + 20):
            for n, (_, program) in enumerate(programs):
                start = time.perf_counter()
                pid = os.posix_spawn(program, [program], {"HOME": homes[n]},
                                     file_actions=[(os.POSIX_SPAWN_DUP2, null, 1)])
                _, _, usage = os.wait4(pid, 0)
                wall = time.perf_counter() - start
                if round_ >= 20:  # the first rounds warm the caches
                    walls[n].append(wall * 1000)
                    cpus[n].append((usage.ru_utime + usage.ru_stime) * 1000)
    base = statistics.median(walls[0])
    print("| program | wall median ms | wall mean ms | CPU median ms | wall vs first |")
    print("|---|---:|---:|---:|---:|")
    for n, (name, _) in enumerate(programs):
        wall = statistics.median(walls[n])
        print(f"| {name} | {wall:.3f} | {statistics.mean(walls[n]):.3f} | "
              f"{statistics.median(cpus[n]):.3f} | {wall / base:.2f} |")


if __name__ == "__main__":
    main()
