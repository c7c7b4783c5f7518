#!/usr/bin/env python3
"""A program on a terminal, as a user at that terminal meets it: it runs on
a pseudo-terminal of its own (its controlling terminal, so that /dev/tty is
that terminal) with standard input on /dev/null and standard output and
error on pipes, as a parent that reads the result starts the launcher; keys
are typed into the terminal.

As a module: Session. As a command, for the shell tests:

  terminal_session.py [--cols N] [--screen FILE] STEP... -- COMMAND [ARG...]

runs COMMAND and takes the STEPs in order: --expect TEXT waits until TEXT
shows after what the earlier --expect found, --type KEYS types KEYS. Then it
waits for COMMAND to end, writes what the terminal showed to FILE, and
passes COMMAND's standard output, standard error and exit status on as its
own. When a step fails (or COMMAND does not end) it says why on standard
error, ends COMMAND's process group and exits with status 125."""
import argparse
import fcntl
import os
import pty
import select
import signal
import struct
import sys
import termios
import time
import tty

WAIT = 10  # seconds any one step may take at most


class StepFailed(Exception):
    """What the terminal was to show did not show in time."""


class Session:
    """`argv` run on a pseudo-terminal of `cols` columns."""

    def __init__(self, argv, env=None, cols=80, raw=False):
        out_r, out_w = os.pipe()
        err_r, err_w = os.pipe()
        self.pid, self.master = pty.fork()
        if self.pid == 0:
            try:
                fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, cols, 0, 0))
                if raw:
                    # As an earlier program may leave it: raw, and carriage
                    # returns ignored.
                    tty.setraw(0)
                    mode = termios.tcgetattr(0)
                    mode[0] |= termios.IGNCR
                    termios.tcsetattr(0, termios.TCSANOW, mode)
                null = os.open(os.devnull, os.O_RDONLY)
                os.dup2(null, 0)
                os.dup2(out_w, 1)
                os.dup2(err_w, 2)
                if env is None:
                    os.execvp(argv[0], argv)
                else:
                    os.execvpe(argv[0], argv, env)
            finally:
                os._exit(127)
        os.close(out_w)
        os.close(err_w)
        self.out, self.err = out_r, err_r
        self.screen = b""
        self.seen = 0

    def read_screen(self, timeout):
        """Reads what the terminal shows next; False when nothing came
        within `timeout` seconds. Until the program opens the terminal,
        no process holds it and reading it fails."""
        deadline = time.monotonic() + timeout
        while True:
            ready, _, _ = select.select([self.master], [], [], max(0, deadline - time.monotonic()))
            try:
                data = os.read(self.master, 4096) if ready else b""
            except OSError:
                data = b""
                time.sleep(0.02)
            if data:
                self.screen += data
                return True
            if time.monotonic() >= deadline:
                return False

    def expect(self, text):
        """Waits until `text` shows after what was seen before."""
        deadline = time.monotonic() + WAIT
        while text.encode() not in self.lines()[self.seen:]:
            left = deadline - time.monotonic()
            if left <= 0 or not self.read_screen(left):
                raise StepFailed(f"{text!r} did not show")
        self.seen = self.lines().index(text.encode(), self.seen) + len(text.encode())

    def lines(self):
        """What the terminal shows, with its line ends as "\n"."""
        return self.screen.replace(b"\r\n", b"\n")

    def type(self, keys):
        os.write(self.master, keys.encode())

    def finish(self):
        """The exit status, standard output and standard error, once the
        program has ended (its process group is killed after WAIT
        seconds: the status then is a text saying so)."""
        deadline = time.monotonic() + WAIT
        status = None
        while status is None:
            pid, raw = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                status = os.waitstatus_to_exitcode(raw)
            elif time.monotonic() > deadline:
                self.kill()
                os.waitpid(self.pid, 0)
                status = "killed: it did not end"
            else:
                self.read_screen(0.05)
        while self.read_screen(0):
            pass
        self.mode_after = termios.tcgetattr(self.master)
        os.close(self.master)
        return status, drain(self.out), drain(self.err)

    def kill(self):
        """Ends the program and whatever it started on its terminal."""
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def text(self):
        return self.lines().decode("utf-8", "replace")


def drain(fd):
    data = b""
    while True:
        chunk = os.read(fd, 4096)
        if not chunk:
            os.close(fd)
            return data
        data += chunk


class Step(argparse.Action):
    def __call__(self, parser, namespace, value, option_string=None):
        namespace.steps.append((self.dest, value))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cols", type=int, default=80, help="the terminal's width (default 80)")
    parser.add_argument("--screen", metavar="FILE", help="write what the terminal showed to FILE")
    parser.add_argument("--expect", action=Step, metavar="TEXT", help="wait until TEXT shows")
    parser.add_argument("--type", action=Step, metavar="KEYS", help="type KEYS")
    parser.add_argument("command", nargs="+")
    parser.set_defaults(steps=[])
    args = parser.parse_args()

    session = Session(args.command, cols=args.cols)
    problem = None
    try:
        for kind, value in args.steps:
            if kind == "expect":
                session.expect(value)
            else:
                session.type(value)
    except StepFailed as failed:
        problem = str(failed)
        session.kill()
    status, out, err = session.finish()
    if args.screen:
        with open(args.screen, "wb") as screen:
            screen.write(session.lines())
    sys.stdout.buffer.write(out)
    sys.stderr.buffer.write(err)
    if problem is None and not isinstance(status, int):
        problem = status
    if problem is not None:
        print(f"terminal_session: {problem}", file=sys.stderr)
        return 125
    # A signal's end as a shell reports it.
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main())
