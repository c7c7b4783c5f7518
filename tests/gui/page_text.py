#!/usr/bin/python3
"""Prints the visible text of the page a running launcher shows, as a screen
reader finds it in the accessibility tree (AT-SPI): one line per heading,
paragraph or label text and per link or button name, in document order.

The launcher's window holds the WebKit view; the page itself is exposed by
the web process, whose accessible root is embedded as the child of the
view's accessible. Elements hidden by CSS (display:none, visibility:hidden)
are left out, and so is anything not in the SHOWING and VISIBLE states.

  page_text.py --pid N                  all visible texts
  page_text.py --pid N --links          link names, a tab, and the target
  page_text.py --pid N --wait-for TEXT  waits until a line is exactly TEXT

Exit status 0 with the lines on standard output; 1 with one line on
standard error when the page or the text cannot be found in time.
"""

import argparse
import os
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

R = Atspi.Role
S = Atspi.StateType

# Controls whose name is what a screen reader reads for them; their
# subtree only makes up that name.
NAMED_CONTROLS = {
    R.LINK, R.PUSH_BUTTON, R.TOGGLE_BUTTON, R.RADIO_BUTTON, R.CHECK_BOX,
    R.MENU_ITEM, R.CHECK_MENU_ITEM, R.RADIO_MENU_ITEM, R.PAGE_TAB,
}
# Elements without a text interface that still read out their name.
NAMED_TEXTS = {R.HEADING, R.PARAGRAPH, R.LABEL, R.STATIC, R.CAPTION}
DOCUMENTS = {R.DOCUMENT_WEB, R.DOCUMENT_FRAME}
EMBEDDED_OBJECT = "\ufffc"
POLL_SECONDS = 0.1


class NotFound(Exception):
    """The tree, the document or the text is not there (yet)."""


def fresh(accessible):
    """Makes libatspi ask the application every time instead of answering
    from a cache that may predate the page's last change."""
    accessible.set_cache_mask(Atspi.Cache.NONE)
    return accessible


def children(accessible):
    result = []
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        if child is not None:
            result.append(fresh(child))
    return result


def is_shown(accessible):
    states = accessible.get_state_set()
    return states.contains(S.SHOWING) and states.contains(S.VISIBLE)


def text_of(accessible):
    if "Text" not in accessible.get_interfaces():
        return None
    return Atspi.Text.get_text(accessible, 0, -1) or ""


def lines_of(text):
    return [line.strip() for line in text.split("\n") if line.strip()]


def target_of(accessible):
    """The link's address through the Hyperlink interface, or None."""
    try:
        link = accessible.get_hyperlink()
        if link is not None and link.get_n_anchors() > 0:
            return link.get_uri(0) or None
    except GLib.Error:
        pass
    return None


def collect(accessible, out):
    """Appends (kind, text, target) entries for the visible content under
    |accessible|, in document order."""
    if not is_shown(accessible):
        return
    role = accessible.get_role()
    if role in NAMED_CONTROLS:
        name = (accessible.get_name() or "").strip()
        if not name:
            name = " ".join(lines_of((text_of(accessible) or "").replace(EMBEDDED_OBJECT, " ")))
        if name:
            kind = "link" if role == R.LINK else "control"
            out.append((kind, name, target_of(accessible) if kind == "link" else None))
        return
    kids = children(accessible)
    text = text_of(accessible) if role not in DOCUMENTS else None
    if text is not None and text.count(EMBEDDED_OBJECT) == len(kids):
        # The text holds one object replacement character where each child
        # sits: read the pieces between them and the children in turn.
        pieces = text.split(EMBEDDED_OBJECT)
        for i, piece in enumerate(pieces):
            out.extend(("text", line, None) for line in lines_of(piece))
            if i < len(kids):
                collect(kids[i], out)
        return
    if text is not None:
        out.extend(("text", line, None) for line in lines_of(text.replace(EMBEDDED_OBJECT, "\n")))
    elif not kids and role in NAMED_TEXTS:
        out.extend(("text", line, None) for line in lines_of(accessible.get_name() or ""))
    for kid in kids:
        collect(kid, out)


def descendants_of(pid):
    """The process ids started by |pid|, at any depth (the web process)."""
    parents = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="utf-8", errors="replace") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            parents[int(entry)] = int(fields[1])
        except (OSError, IndexError, ValueError):
            continue
    found, frontier = set(), {pid}
    while frontier:
        frontier = {p for p, parent in parents.items() if parent in frontier and p not in found}
        found |= frontier
    return found


def find_application(pid):
    desktop = fresh(Atspi.get_desktop(0))
    apps = children(desktop)
    for app in apps:
        if app.get_process_id() == pid:
            return app
    # Should the page's process register as an application of its own, it
    # is a process the launcher started.
    family = descendants_of(pid)
    for app in apps:
        if app.get_process_id() in family:
            return app
    raise NotFound(f"no accessible application for process {pid} "
                   f"({len(apps)} on the accessibility bus)")


def find_documents(accessible, found):
    if accessible.get_role() in DOCUMENTS:
        found.append(accessible)
        return found
    for kid in children(accessible):
        # Windows that are not showing hold no page anyone can see; the
        # widgets between a window and its page report no states at all.
        if kid.get_role() == R.FRAME and not is_shown(kid):
            continue
        find_documents(kid, found)
    return found


def read_page(pid):
    """The visible entries of the launcher's page(s); raises NotFound."""
    app = find_application(pid)
    documents = find_documents(app, [])
    if not documents:
        raise NotFound(f"no web document in the windows of process {pid}")
    entries = []
    for document in documents:
        if document.get_state_set().contains(S.BUSY):
            raise NotFound("the page is still loading")
        collect(document, entries)
    if not entries:
        raise NotFound("the page shows no text")
    return entries


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pid", type=int, required=True, help="the launcher's process id")
    parser.add_argument("--links", action="store_true", help="print link names and targets only")
    parser.add_argument("--wait-for", metavar="TEXT", help="wait until a line is exactly TEXT")
    parser.add_argument("--timeout", type=float, default=20.0, metavar="S",
                        help="give up after S seconds (default 20)")
    args = parser.parse_args()

    Atspi.init()
    # A web process that hangs must not hold a read up for the default 25 s.
    Atspi.set_timeout(3000, 3000)
    deadline = time.monotonic() + args.timeout
    previous = None
    problem = "nothing read"
    while True:
        try:
            os.kill(args.pid, 0)
        except ProcessLookupError:
            print(f"page_text: process {args.pid} is not running", file=sys.stderr)
            return 1
        try:
            entries = read_page(args.pid)
            texts = [text for _, text, _ in entries]
            if args.wait_for is not None:
                if args.wait_for in texts:
                    break
                problem = f"'{args.wait_for}' did not appear; the page shows: {' | '.join(texts)}"
            elif entries == previous:
                break  # the same twice in a row: the page has settled
            else:
                problem = "the page kept changing"
            previous = entries
        except NotFound as missing:
            problem = str(missing)
            previous = None
        except GLib.Error as error:  # an object went away while being read
            problem = f"reading the accessibility tree failed: {error.message}"
            previous = None
        if time.monotonic() >= deadline:
            print(f"page_text: {problem} (after {args.timeout:g} s)", file=sys.stderr)
            return 1
        time.sleep(POLL_SECONDS)

    for kind, text, target in entries:
        if not args.links:
            print(text)
        elif kind == "link":
            print(f"{text}\t{target}" if target else text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
