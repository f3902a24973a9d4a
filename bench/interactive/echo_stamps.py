#!/usr/bin/env python3
"""Where a key's echo goes, from time stamps inside a bench build of nelk (NK_STAMPS=ON).

    bench/interactive/echo_stamps.py NELK [KEYS]      # default 300 keys

Types lower-case letters 40 ms apart into nelk behind a pseudo-terminal (200x24, TERM=xterm,
a fresh HOME whose bin/cpu prints 1.0), erasing every 26, then quits with Escape twice and reads the
stamps nelk wrote. For each key typed 25 ms or more after the one before, and whose redraw
did not meet a periodic one (its stamps run K T D S E U F with nothing between), it prints
the median and 90th percentile of each step and of the echo minus the sampler run (S to E).
"""
import fcntl
import os
import pty
import select
import statistics
import struct
import sys
import tempfile
import termios
import time

STEPS = [("K", "T", "key read to terminal thread"), ("T", "D", "to the frame's start"),
         ("D", "S", "to the sampler's spawn"), ("S", "E", "sampler run"),
         ("E", "U", "figure read, file removed"), ("U", "F", "total, frame built and written")]


def drain(fd, seconds):
    end = time.monotonic() + seconds
    while (left := end - time.monotonic()) > 0:
        if select.select([fd], [], [], left)[0]:
            try:
                os.read(fd, 65536)
            except OSError:
                return


def main():
    nelk = os.path.abspath(sys.argv[1])
    keys = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    with tempfile.TemporaryDirectory(prefix="nk-stamps-") as home:
        os.mkdir(os.path.join(home, "bin"))
        cpu = os.path.join(home, "bin", "cpu")
        with open(cpu, "w") as f:
            f.write("#!/bin/sh\necho 1.0\n")
        os.chmod(cpu, 0o755)
        stamps = os.path.join(home, "stamps")
        env = {"HOME": home, "TERM": "xterm", "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
               "USER": "bench", "NK_STAMPS_FILE": stamps}
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(home)
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 200, 0, 0))
            os.execve(nelk, [nelk], env)
        drain(fd, 1.0)
        for i in range(keys):
            os.write(fd, bytes([ord("a") + i % 26]))
            drain(fd, 0.040)
            if i % 26 == 25:
                os.write(fd, b"\x7f" * 26)
                drain(fd, 0.2)
        os.write(fd, b"\x1b\x1b")
        drain(fd, 0.5)
        os.waitpid(pid, 0)
        with open(stamps) as f:
            events = sorted((int(t), p) for p, t in (line.split() for line in f))
    report(events)


def report(events):
    spans = {name: [] for _, _, name in STEPS}
    overheads = []
    last_key = None
    skipped = 0
    for i, (t, point) in enumerate(events):
        if point != "K":
            continue
        apart = last_key is None or t - last_key >= 25_000_000
        last_key = t
        run = events[i:i + 7]
        if not apart or "".join(p for _, p in run) != "KTDSEUF":
            skipped += apart
            continue
        at = {p: s for s, p in run}
        for begin, end, name in STEPS:
            spans[name].append((at[end] - at[begin]) / 1e6)
        overheads.append(((at["F"] - at["K"]) - (at["E"] - at["S"])) / 1e6)

    def line(name, values):
        values = sorted(values)
        p90 = values[int(0.9 * (len(values) - 1))]
        print(f"| {name} | {statistics.median(values):.3f} | {p90:.3f} |")

    print(f"{len(overheads)} keys measured, {skipped} met a periodic redraw\n")
    print("| step | median ms | p90 ms |\n|---|---:|---:|")
    for _, _, name in STEPS:
        line(name, spans[name])
    line("**echo minus sampler run**", overheads)


if __name__ == "__main__":
    main()
