#!/usr/bin/env python3
"""The text front end as a user at a terminal meets it: the launcher runs
on a pseudo-terminal with its standard output on a pipe, as a parent that
holds the product's lock starts it; keys are typed into the terminal. Only
the result may reach the pipe, and nothing standard error."""
import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import termios
import unicodedata

BUILD_DIR = os.environ["BUILD_DIR"]
SOURCE_DIR = os.environ["SOURCE_DIR"]
PROGRAM = os.path.join(BUILD_DIR, "bin", "setup-launcher")
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "support"))
from terminal_session import Session, StepFailed  # noqa: E402

work = tempfile.mkdtemp()
run_dir = os.path.join(work, "run")
os.mkdir(run_dir, 0o700)
# The locales the rows below are in, made for this test alone (LOCPATH): the
# close question answers in the locale's own words.
locales = os.path.join(work, "locales")
os.mkdir(locales)
for locale in ("de_DE", "ja_JP"):
    subprocess.run(["localedef", "-i", locale, "-f", "UTF-8", os.path.join(locales, locale + ".UTF-8")],
                   check=True, capture_output=True)


def make_medium(source):
    medium = os.path.join(work, source)
    if not os.path.isdir(medium):
        shutil.copytree(os.path.join(SOURCE_DIR, "demo", source), medium)
        shutil.copy(PROGRAM, os.path.join(medium, "setup-launcher"))
        shutil.copy(os.path.join(BUILD_DIR, "pages", "SetupHmRes.dll"), medium)
    return medium


def columns(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in line)


def start(medium, lang, cols, options, raw=False):
    """The launcher of `medium` on a terminal of `cols` columns, under a
    parent that holds the product's lock (returned, to be closed after)."""
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": lang, "XDG_RUNTIME_DIR": run_dir,
           "LOCPATH": locales}
    lock = subprocess.run([os.path.join(BUILD_DIR, "bin", "setup-medium"), "lock", medium], env=env,
                          check=True, capture_output=True, text=True).stdout.strip("\n")
    lock = open(lock, "a")
    fcntl.flock(lock, fcntl.LOCK_SH)
    return Session([os.path.join(medium, "setup-launcher"), *options], env, cols, raw), lock


# Each case: the medium, the locale, the terminal's width, the steps (text
# to wait for, then keys to type), the result the parent receives, words
# the terminal must and must not have shown, and whether the terminal was
# left in raw mode before (the launcher reads lines and writes them as
# lines meanwhile, and leaves it raw).
CASES = [
    ("without a window's module or a display: a language chosen by its number", "medium", "C.UTF-8", 80,
     [("Aurora Ledger 7 Setup\n", ""), ("  2  Deutsch", ""), ("> ", "2\n")], b"DEU",
     ["Choose the language of the setup", "  7 r  Release notes", "  8 e  Exit"], ["Back"]),
    ("release notes without a desktop, then leaving is declined", "medium", "C.UTF-8", 80,
     [("> ", "r\n"), ("Release notes:", ""), ("/1033/readme.html", ""), ("> ", "8\n"),
      ("Setup\nDo you really want to quit setup? [y/n] ", "n\n"), ("> ", "1\n")], b"ENU", [], []),
    ("leaving is confirmed", "medium", "C.UTF-8", 80,
     [("> ", "q\n"), ("[y/n] ", "x\n"), ("[y/n] ", "y\n")], b"", [], []),
    ("the end of input asks before leaving", "medium", "C.UTF-8", 80,
     [("> ", "\x04"), ("[y/n] ", "y\n")], b"", ["Do you really want to quit setup?"], []),
    ("Ctrl+C leaves without a question to answer", "medium", "C.UTF-8", 80,
     [("> ", "\x03")], b"", ["Do you really want to quit setup? [y/n] y"], []),
    ("the database first, then the language, on a narrow terminal", "medium-db", "de_DE.UTF-8", 24,
     [("  2  Oracle-Datenbank", ""), ("> ", "2\n"), ("  8 z  Zurück", ""), ("> ", "10\n"),
      ("[1-6, 7 v, 8 z, 9 b]\n> ", "Z\n"), ("Wählen Sie", ""), ("> ", "2\n"), ("> ", "2\n")],
     b"DEUO-db=oracle", ["Aurora Ledger 7 Server", "* 1  SQL-Server-", "  [Enter]  Weiter"], []),
    ("a German user leaves by the medium's own letter and says ja", "medium", "de_DE.UTF-8", 80,
     [("  8 b  Beenden", ""), ("> ", "b\n"), ("[ja/nein] ", "x\n"), ("[ja/nein] ", "j\n")], b"", [], []),
    ("a Japanese user leaves by number, says いいえ, then chooses", "medium", "ja_JP.UTF-8", 80,
     [("  8 終  終了", ""), ("> ", "8\n"), ("[はい/いいえ] ", "いいえ\n"), ("> ", "1\n")], b"ENU", [], []),
    ("a terminal left in raw mode", "medium", "C.UTF-8", 80,
     [("  2  Deutsch\n", ""), ("> ", "2\r")], b"DEU", ["  8 e  Exit"], [], True),
]

failures = 0
for name, source, lang, cols, steps, result, shown, not_shown, *raw in CASES:
    # The media hold no window's module and the environment no display, so
    # the first case reaches the terminal without being told; the others
    # ask for it.
    session, lock = start(make_medium(source), lang, cols, () if name == CASES[0][0] else ("--text",), bool(raw))
    problems = []
    try:
        for text, keys in steps:
            session.expect(text)
            if keys:
                session.type(keys)
    except StepFailed as error:
        problems.append(str(error))
    status, out, err = session.finish()
    lock.close()
    screen = session.text()
    if status != 0:
        problems.append(f"exit status {status}")
    if out != result:
        problems.append(f"standard output {out!r}, not {result!r}")
    if err:
        problems.append(f"standard error: {err!r}")
    if re.search(rb"(?<!\r)\n", session.screen):
        problems.append("a line end without a carriage return: the lines stair-step")
    if raw and session.mode_after[3] & termios.ICANON:
        problems.append("the terminal's raw mode was not put back")
    problems += [f"{word!r} not shown" for word in shown if word not in screen]
    problems += [f"{word!r} shown" for word in not_shown if word in screen]
    try:
        session.screen.decode("utf-8")
    except UnicodeDecodeError as error:
        problems.append(f"a character was split: {error}")
    # The pseudo-terminal's own echo of typed keys aside, no line is wider
    # than the terminal.
    problems += [f"line wider than {cols} columns: {line!r}"
                 for line in screen.split("\n") if columns(line) > cols]
    if problems:
        failures += 1
        print(f"FAIL: {name}:\n  " + "\n  ".join(problems) + "\n--- terminal ---\n" + screen)
    else:
        print(f"ok: {name}")

shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
