#!/usr/bin/env python3
"""Start-up of the runs without a window, on the demo medium: the text
front end from exec to the first line on the terminal (the caption, shown
once the home page is loaded, filled and parsed), and `--list` from exec to
its end.

  bench/text_bench.py [--runs N] [--program PATH] [--build DIR] [--verbose]

The launcher is copied onto a copy of the demo
medium and started as a parent starts it on a terminal: on a fresh
pseudo-terminal, standard input on /dev/null, standard output on a pipe,
the product's lock held, `--text`, LANG=C.UTF-8, no display. The clock
starts just before the fork; the run ends when the first line end shows on
the terminal, and the program is then killed. `--list` runs the same way
without a terminal, until it has ended. One warm-up run, then N (30 unless
told). Figures only; it never fails on them. Needs a build
(`cmake --build build --target setup-medium setup-launcher page_library`)."""
import argparse
import fcntl
import os
import pty
import select
import shutil
import signal
import statistics
import subprocess
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
parser = argparse.ArgumentParser()
parser.add_argument("--runs", type=int, default=30)
parser.add_argument("--build", default=os.path.join(root, "build"))
parser.add_argument("--program")
parser.add_argument("--verbose", action="store_true")
args = parser.parse_args()
program = args.program or os.path.join(args.build, "bin", "setup-launcher")

work = tempfile.mkdtemp()
medium = os.path.join(work, "medium")
shutil.copytree(os.path.join(root, "demo", "medium"), medium)
shutil.copy(program, os.path.join(medium, "setup-launcher"))
shutil.copy(os.path.join(args.build, "pages", "SetupHmRes.dll"), medium)
run_dir = os.path.join(work, "run")
os.mkdir(run_dir, 0o700)
env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": run_dir}
lock_path = subprocess.run([os.path.join(args.build, "bin", "setup-medium"), "lock", medium], env=env,
                           check=True, capture_output=True, text=True).stdout.strip("\n")
lock = open(lock_path, "a")
fcntl.flock(lock, fcntl.LOCK_SH)
launcher = os.path.join(medium, "setup-launcher")


def one_run():
    """Milliseconds from just before the fork to the first line end."""
    out_r, out_w = os.pipe()
    start = time.monotonic_ns()
    pid, master = pty.fork()
    if pid == 0:
        null = os.open(os.devnull, os.O_RDWR)
        os.dup2(null, 0)
        os.dup2(out_w, 1)
        os.dup2(null, 2)
        os.execve(launcher, [launcher, "--text"], env)
    os.close(out_w)
    screen = b""
    elapsed = None
    deadline = time.monotonic() + 10
    while elapsed is None and time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.5)
        try:
            data = os.read(master, 4096) if ready else b""
        except OSError:  # the terminal is not open yet on the other side
            data = b""
        screen += data
        if b"\n" in screen:
            elapsed = (time.monotonic_ns() - start) / 1e6
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    os.close(master)
    os.close(out_r)
    return elapsed


def list_run():
    """Milliseconds from just before the start of `--list` to its end."""
    start = time.monotonic_ns()
    done = subprocess.run([launcher, "--list"], env=env, stdin=subprocess.DEVNULL, capture_output=True)
    elapsed = (time.monotonic_ns() - start) / 1e6
    return elapsed if done.returncode == 0 and done.stdout else None


def measure(name, run):
    run()
    times = []
    for i in range(args.runs):
        ms = run()
        if ms is None:
            print(f"{name}, run {i + 1}: no answer within 10 s")
            continue
        times.append(ms)
        if args.verbose:
            print(f"{name}, run {i + 1}: {ms:.2f} ms")
    if times:
        times.sort()
        print(f"{name} ({len(times)} runs): "
              f"median {statistics.median(times):.2f} ms, min {times[0]:.2f} ms, "
              f"90th percentile {times[int(len(times) * 0.9) - 1]:.2f} ms, max {times[-1]:.2f} ms")


measure("text front end, exec to first line on the terminal", one_run)
measure("--list, exec to its end", list_run)
lock.close()
shutil.rmtree(work, ignore_errors=True)
