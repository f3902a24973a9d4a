#!/usr/bin/env python3
"""Drives nelk through a pseudo-terminal with random keys and checks that it stays sound.

Keys: valid and invalid UTF-8, every escape sequence of both keyboards and broken prefixes
of them, long lines, Tab in a folder of 10,000 names, Up/Down past both ends, Enter on
harmless commands and builtins, and +/- lines. Every program run (one at least per batch)
must answer within --bound seconds plus 50 ms a key typed before it. From 20,000 keys on,
the xterm run first fills the history and its resident memory must then stay within 1 MiB
of its size at that point.
At the end: the total file holds the exact sum of the accepted +/- lines, and Escape
twice ends the run with status 0 and the terminal modes as they were. Half the keys go
to a TERM=xterm run, half to a TERM=linux run.
"""
import argparse, fcntl, os, random, select, shutil, struct, subprocess, sys, tempfile, termios, time

SEQUENCES = [b"\x1b[A", b"\x1b[B", b"\x1b[C", b"\x1b[D", b"\x1b[F", b"\x1b[H", b"\x1b[1~",
             b"\x1b[2~", b"\x1b[3~", b"\x1b[4~", b"\x1b[5~", b"\x1b[6~", b"\x1b[24~",
             b"\x1b[17~", b"\x1b[18~", b"\x1b[19~", b"\x1b[15~", b"\x1b[20~", b"\x1b[21~",
             b"\x1b[23~", b"\x1b[22~", b"\x1b[[A", b"\x1bOP", b"\x1b\xc3\x85", b"\xc3\x85",
             b"\x1b[1c", b"\x1b[2c", b"\x1b[Z", b"\x1bx"]
# After a broken prefix comes a plain letter, never ESC: ESC ESC would quit.
PREFIXES = [b"\x1b", b"\x1b[", b"\x1b[1", b"\x1b[2", b"\x1b[24", b"\x1bO"]
TEXT = ["a", "Z", "0", " ", "é", "€", "😀", "ß", "漢"]
INVALID = [b"\xff", b"\xc3", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe2\x82", b"\x80"]
BUILTINS = ["set x=5", "set y=1.5E3", "put x", "put_line y", "unset x", "alias ll=ls",
            "unalias ll", "alias", "cd /", "cd -", "cd", "x_no_such"]
# Programs run with the terminal's own modes, in which the terminal itself would edit keys
# typed ahead: each prints a tag, and no key is sent until it is back in raw mode.
PROGRAMS = ["echo {}", "true && echo {}", "echo {} | cat"]
TAB_WORDS = ["ls many/f12", "ls many/*99", "cat many/f0042", "ls many/[ab]*", "ls many/{f1,g}7"]
BACKSPACE, ENTER, TAB, UP, DOWN = b"\x7f", b"\r", b"\t", b"\x1b[A", b"\x1b[B"


class Session:
    def __init__(self, binary, term, root):
        self.master, slave = os.openpty()
        os.set_blocking(self.master, False)
        self.slave = slave  # kept open: the modes outlive the program
        self.initial = termios.tcgetattr(slave)
        env = {"HOME": root + "/home", "PATH": "/usr/bin:/bin", "TERM": term, "USER": "soak"}
        def controlling_terminal():  # as a login would: its own session, this terminal
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
        self.process = subprocess.Popen([os.path.abspath(binary)], cwd=root + "/work", env=env,
                                        stdin=slave, stdout=slave, stderr=slave,
                                        preexec_fn=controlling_terminal)
        self.screen = bytearray()
        self.line_bound = 0  # characters the line may hold: what Backspace must clear
        self.history_longest = 0
        self.tags = 0

    def pump(self, timeout):
        if select.select([self.master], [], [], timeout)[0]:
            try:
                self.screen += os.read(self.master, 1 << 16)
            except OSError:
                pass
        if len(self.screen) > 1 << 22:  # a runaway output: only the tail is searched
            del self.screen[:-(1 << 16)]

    def send(self, data):
        for k in range(0, len(data), 256):
            chunk = data[k:k + 256]
            while chunk:
                try:
                    chunk = chunk[os.write(self.master, chunk):]
                except BlockingIOError:
                    pass
                self.pump(0 if chunk else 0)
            if self.process.poll() is not None:
                raise SystemExit(f"nelk ended ({self.process.returncode}) during the keys")

    def send_all(self, keys, bound):
        """Sends the keys; at each ("wait", tag) waits for the tag's line and raw mode."""
        pending = []
        for key in keys + [None]:
            if isinstance(key, bytes):
                pending.append(key)
                continue
            self.send(b"".join(pending))
            # The bound, plus 50 ms for every key sent since the last answer.
            allowed, pending = bound + 0.05 * len(pending), []
            if key is not None:
                self.wait_for(f"\n{key[1]}\r\n".encode(), allowed)
                deadline = time.monotonic() + bound
                while termios.tcgetattr(self.slave)[3] & termios.ICANON:
                    if time.monotonic() > deadline:
                        raise SystemExit("the terminal stayed in its own modes")
                    self.pump(0.005)

    def wait_for(self, needle, bound):
        deadline = time.monotonic() + bound
        while needle not in self.screen:
            if time.monotonic() > deadline or self.process.poll() is not None:
                path = os.path.join(tempfile.gettempdir(), "nk-soak-screen.log")
                with open(path, "wb") as log:
                    log.write(self.screen)
                raise SystemExit(f"no answer within {bound} s: {needle!r}; output since the "
                                 f"last answer in {path}")
            self.pump(0.05)
        del self.screen[:self.screen.rindex(needle) + len(needle)]

    def rss_kib(self, field):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith(field):
                    return int(line.split()[1])
        return 0


def clear_line(session):
    return [BACKSPACE] * (session.line_bound + 1)


def command(session, text, tag=None):
    """Keys that run `text`; a program's `tag` is waited for before any further key."""
    keys = clear_line(session) + [c.encode() for c in text] + [ENTER]
    session.line_bound = 0
    session.history_longest = max(session.history_longest, len(text))
    return keys + ([("wait", tag)] if tag else [])


def program(session, rng):
    session.tags += 1
    tag = f"tag{session.tags}"
    return command(session, rng.choice(PROGRAMS).format(tag), tag)


def batch(session, rng, expected):
    """One batch of keys, and the change it makes to the total when all is accepted."""
    keys, delta = [], 0
    for _ in range(rng.randint(5, 15)):
        kind = rng.random()
        if kind < 0.25:
            text = "".join(rng.choice(TEXT) for _ in range(rng.randint(1, 8)))
            keys += [c.encode() for c in text]
            session.line_bound += len(text)
        elif kind < 0.35:
            keys += [rng.choice(INVALID), b"q"]
            session.line_bound += 2
        elif kind < 0.5:
            keys.append(rng.choice(SEQUENCES))
            # Up and Down recall a line; under linux ESC c and ESC [ c type c.
            session.line_bound = max(session.line_bound, session.history_longest) + 4
        elif kind < 0.6:
            keys += [rng.choice(PREFIXES), rng.choice([b"q", b"7", b"~"])]
            session.line_bound += 2
        elif kind < 0.615:
            keys += [b"w"] * rng.randint(100, 400)  # a long line
            session.line_bound += 400
        elif kind < 0.7:
            keys += clear_line(session) + [c.encode() for c in rng.choice(TAB_WORDS)] + [TAB]
            session.line_bound = 300  # one match puts in its absolute path
        elif kind < 0.78:
            keys += [rng.choice([UP, DOWN]) for _ in range(rng.randint(1, 30))]
            session.line_bound = max(session.line_bound, session.history_longest)
        elif kind < 0.84:
            keys += command(session, rng.choice(BUILTINS))
        elif kind < 0.9:
            keys += program(session, rng)
        else:
            cents = rng.randint(-99999, 99999)
            if abs(expected + delta + cents) < 99_999_999:
                delta += cents
                keys += command(session, f"{'+' if cents >= 0 else '-'}{abs(cents) / 100:.2f}")
            else:
                keys += command(session, "+oops")  # "-: error", the line stays
                session.line_bound = 5
    return keys, delta


def run(binary, term, keys_wanted, rng, root, bound, report):
    session = Session(binary, term, root)
    expected, sent, batches, rss_when_full, enters = read_total(root), 0, 0, None, 0
    session.wait_for(b"$ ", bound)
    # From 20,000 keys on, in the first run only: 2,100 Enters take about ten minutes.
    if keys_wanted >= 10_000 and term == "xterm":
        # History first filled; memory is then measured once a third of the keys have
        # warmed every path up (allocator arenas of four threads, listings, long lines),
        # and must stay flat from there on.
        for _ in range(21):
            session.send_all([b"put x\r"] * 100 + program(session, rng), bound)
    while sent < keys_wanted:
        if rss_when_full is None and keys_wanted >= 10_000 and term == "xterm" and sent >= keys_wanted // 3:
            rss_when_full = session.rss_kib("VmRSS:")
        keys, delta = batch(session, rng, expected)
        keys += program(session, rng)  # every batch ends with an answer to wait for
        session.send_all(keys, bound)
        expected += delta
        sent += sum(isinstance(key, bytes) for key in keys)
        batches += 1
        enters += keys.count(ENTER)
        if batches % 100 == 0:
            print(f"{term}: {sent} keys, {enters} Enters", file=sys.stderr, flush=True)
    peak, final = session.rss_kib("VmHWM:"), session.rss_kib("VmRSS:")
    session.send(b"\x1b\x1b")
    status = session.process.wait(timeout=bound)
    restored = termios.tcgetattr(session.slave)[:4] == session.initial[:4]
    total = read_total(root)
    report.append((term, sent, enters, peak, final, rss_when_full))
    failures = []
    if status != 0:
        failures.append(f"status {status}")
    if not restored:
        failures.append("terminal modes not restored")
    if total != expected:
        failures.append(f"total {total} instead of {expected}")
    if rss_when_full is not None and final > rss_when_full + 256:
        failures.append(f"RSS grew from {rss_when_full} KiB (warmed up) to {final} KiB")
    os.close(session.master)
    os.close(session.slave)
    return failures


def read_total(root):
    try:
        with open(root + "/work/nk.shared.total_sum", "rb") as file:
            return struct.unpack("<i", file.read(4))[0]
    except FileNotFoundError:
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default="build/x/main/nelk")
    parser.add_argument("--keys", type=int, default=100_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--bound", type=float, default=10.0,
                        help="seconds an answer may take, plus 50 ms a key typed before it")
    args = parser.parse_args()
    root = tempfile.mkdtemp(prefix="nk-soak-")
    try:
        os.makedirs(root + "/home/bin")
        os.makedirs(root + "/work/many")
        with open(root + "/home/bin/cpu", "w") as cpu:
            cpu.write("#!/bin/sh\necho 1.0\n")
        os.chmod(root + "/home/bin/cpu", 0o755)
        for k in range(10_000):
            open(f"{root}/work/many/{'fg'[k % 2]}{k:04d}", "w").close()
        rng, report, failures, start = random.Random(args.seed), [], [], time.monotonic()
        for term in ("xterm", "linux"):
            failures += [f"{term}: {f}" for f in
                         run(args.binary, term, args.keys // 2, rng, root, args.bound, report)]
        print("TERM       keys  Enters  peak RSS KiB  RSS KiB, warmed up  final RSS KiB")
        for term, sent, enters, peak, final, full in report:
            print(f"{term:6} {sent:8} {enters:7} {peak:13} {full or '-':>18} {final:14}")
        print(f"time {time.monotonic() - start:.1f} s")
        for failure in failures:
            print("FAIL:", failure)
        return 1 if failures else 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
