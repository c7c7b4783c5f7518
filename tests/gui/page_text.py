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
  page_text.py --pid N --controls       the names of links and controls, in
                                        the order Tab visits them
  page_text.py --pid N --box            the texts of the launcher's message
                                        box instead of the page's (with
                                        --wait-for: until it shows TEXT)
  page_text.py --pid N --wait-for TEXT  waits until a line is exactly TEXT
                                        (given again: until each is there)
  page_text.py --pid N --windows        the launcher's shown top-level
                                        windows at once, one a line: role,
                                        "modal" or "-", and name
  page_text.py --pid N --wait-active    waits until one of those windows
                                        has the keyboard (is active)
  page_text.py --pid N --where NAME     waits until a link or control named
                                        NAME shows, and prints its centre
                                        relative to its window: "X Y"

Exit status 0 with the lines on standard output; 1 with one line on
standard error when the page or the text cannot be found in time.
"""

import argparse
import os
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

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
# Without --wait-for, the page counts as shown once it has read the same for
# this long: the launcher fills in its texts just after the page has loaded.
SETTLE_SECONDS = 0.4


class NotFound(Exception):
    """The tree, the document or the text is not there (yet)."""


def children(accessible):
    result = []
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        if child is not None:
            result.append(child)
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


def labelled_by_shown(accessible):
    """Whether a label that is itself on the page names |accessible| (a
    check box inside its <label>): the label's text is read already."""
    for relation in accessible.get_relation_set():
        if relation.get_relation_type() != Atspi.RelationType.LABELLED_BY:
            continue
        for i in range(relation.get_n_targets()):
            target = relation.get_target(i)
            if target is not None and is_shown(target):
                return True
    return False


def centre_of(accessible):
    """The centre of |accessible| relative to its top-level window."""
    box = Atspi.Component.get_extents(accessible, Atspi.CoordType.WINDOW)
    return f"{box.x + box.width // 2} {box.y + box.height // 2}"


def collect(accessible, out):
    """Appends (kind, text, target, accessible) entries for the visible content under
    |accessible|, in document order."""
    if not is_shown(accessible):
        return
    role = accessible.get_role()
    if role in NAMED_CONTROLS:
        if role != R.LINK and labelled_by_shown(accessible):
            return
        name = (accessible.get_name() or "").strip()
        if not name:
            name = " ".join(lines_of((text_of(accessible) or "").replace(EMBEDDED_OBJECT, " ")))
        if name:
            kind = "link" if role == R.LINK else "control"
            out.append((kind, name, target_of(accessible) if kind == "link" else None, accessible))
        return
    kids = children(accessible)
    text = text_of(accessible) if role not in DOCUMENTS else None
    if text is None:
        if not kids and role in NAMED_TEXTS:
            out.extend(("text", line, None, accessible) for line in lines_of(accessible.get_name() or ""))
        for kid in kids:
            collect(kid, out)
    elif text.count(EMBEDDED_OBJECT) == len(kids):
        # The text holds one object replacement character where each child
        # sits: read the pieces between them and the children in turn.
        for i, piece in enumerate(text.split(EMBEDDED_OBJECT)):
            out.extend(("text", line, None, accessible) for line in lines_of(piece))
            if i < len(kids):
                collect(kids[i], out)
    else:
        # WebKit writes the text of inline children (a <label>) into this
        # text as well, and keeps a replacement character for children that
        # are hidden: read the children, then what only this text holds.
        inner = []
        for kid in kids:
            collect(kid, inner)
        read = {entry[1] for entry in inner}
        out.extend(inner)
        out.extend(("text", line, None, accessible)
                   for line in lines_of(text.replace(EMBEDDED_OBJECT, "\n")) if line not in read)


def descendants_of(pid):
    """The processes started by |pid|, at any depth, each with its depth."""
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
    found, frontier, depth = {}, {pid}, 0
    while frontier:
        depth += 1
        frontier = {p for p, parent in parents.items() if parent in frontier and p not in found}
        found.update((p, depth) for p in frontier)
    return found


def running(pid):
    """Whether |pid| runs (a process that ended but is not yet waited for
    does not)."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def find_application(pid):
    desktop = Atspi.get_desktop(0)
    # What libatspi keeps of earlier reads may predate the page's last
    # change. (Turning its cache off with set_cache_mask makes GTK
    # applications stop answering.)
    desktop.clear_cache()
    apps = children(desktop)
    for app in apps:
        if app.get_process_id() == pid:
            return app
    # |pid| may be the launcher's parent (flock, setup-parent): the nearest
    # application that |pid| started is the launcher.
    family = descendants_of(pid)
    started = [app for app in apps if app.get_process_id() in family]
    if started:
        return min(started, key=lambda app: family[app.get_process_id()])
    raise NotFound(f"no accessible application for process {pid} or a process it started "
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


def read_box(pid):
    """The visible entries of the launcher's shown message box (a shown
    top-level window that holds no page); raises NotFound."""
    entries = []
    for window in children(find_application(pid)):
        if is_shown(window) and not find_documents(window, []):
            collect(window, entries)
    if not entries:
        raise NotFound(f"no message box of process {pid} shows")
    return entries


def shown_windows(pid):
    """The launcher's top-level windows that show, as (role, modal, name);
    raises NotFound before the launcher is on the bus."""
    windows = []
    for window in children(find_application(pid)):
        if is_shown(window):
            modal = "modal" if window.get_state_set().contains(S.MODAL) else "-"
            windows.append((window.get_role_name(), modal, window.get_name() or ""))
    return windows


def has_active_window(pid):
    """Whether one of the launcher's shown top-level windows has the
    keyboard; raises NotFound before the launcher is on the bus."""
    return any(is_shown(window) and window.get_state_set().contains(S.ACTIVE)
               for window in children(find_application(pid)))


def bus_problem():
    """Why libatspi would find no accessibility bus (it aborts then), or
    None. It asks the session bus for it unless AT_SPI_BUS_ADDRESS is set."""
    if os.environ.get("AT_SPI_BUS_ADDRESS"):
        return None
    try:
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    except GLib.Error as error:
        return f"no session bus to find the accessibility bus through ({error.message})"
    try:
        session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                          None, GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 10000, None)
    except GLib.Error as error:
        return f"the session bus offers no accessibility bus ({error.message})"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pid", type=int, required=True, help="the launcher's process id")
    parser.add_argument("--links", action="store_true", help="print link names and targets only")
    parser.add_argument("--controls", action="store_true",
                        help="print the names of links and controls, in the order Tab visits them")
    parser.add_argument("--box", action="store_true",
                        help="read the launcher's message box instead of its page")
    parser.add_argument("--wait-for", metavar="TEXT", action="append", default=[],
                        help="wait until a line is exactly TEXT (repeatable: each TEXT)")
    parser.add_argument("--windows", action="store_true",
                        help="print the shown top-level windows at once, without waiting")
    parser.add_argument("--wait-active", action="store_true",
                        help="wait until a shown window of the launcher has the keyboard")
    parser.add_argument("--where", metavar="NAME",
                        help="print the centre of the link or control named NAME in its window")
    parser.add_argument("--timeout", type=float, default=20.0, metavar="S",
                        help="give up after S seconds (default 20)")
    args = parser.parse_args()

    problem = bus_problem()
    if problem is not None:
        print(f"page_text: {problem}", file=sys.stderr)
        return 1
    Atspi.init()
    # A web process that hangs must not hold a read up for the default 25 s.
    Atspi.set_timeout(3000, 3000)
    if args.windows:
        try:
            for window in shown_windows(args.pid):
                print("\t".join(window))
        except (NotFound, GLib.Error) as missing:
            print(f"page_text: {missing}", file=sys.stderr)
            return 1
        return 0
    deadline = time.monotonic() + args.timeout
    previous, since = None, 0.0
    problem = "nothing read"
    while True:
        if not running(args.pid):
            print(f"page_text: process {args.pid} is not running", file=sys.stderr)
            return 1
        try:
            if args.wait_active:
                if has_active_window(args.pid):
                    return 0
                raise NotFound("no window of the launcher has the keyboard")
            entries = read_box(args.pid) if args.box else read_page(args.pid)
            texts = [entry[1] for entry in entries]
            if args.where is not None:
                named = [entry[3] for entry in entries if entry[0] != "text" and entry[1] == args.where]
                if named:
                    print(centre_of(named[0]))
                    return 0
                problem = f"no link or control named '{args.where}'; the page shows: {' | '.join(texts)}"
            elif args.wait_for:
                missing = [text for text in args.wait_for if text not in texts]
                if not missing:
                    break
                problem = f"'{missing[0]}' did not appear; the page shows: {' | '.join(texts)}"
            elif [entry[:3] for entry in entries] != previous:
                previous, since = [entry[:3] for entry in entries], time.monotonic()
                problem = "the page kept changing"
            elif time.monotonic() - since >= SETTLE_SECONDS:
                break
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

    for kind, text, target, _ in entries:
        if args.controls:
            if kind != "text":
                print(text)
        elif not args.links:
            print(text)
        elif kind == "link":
            print(f"{text}\t{target}" if target else text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
