#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the running Tavrix the way a screen reader and a desktop user do.

Started by tst_desktop inside its own D-Bus session on its own X server:
starts the program given on the command line, waits until it appears on the
accessibility bus, runs one check and ends the program. Prints what it found;
exits with status 1 and a list of what is missing when a check fails.

  desktop_check.py tree PROGRAM [NAME=ENTRY...]
                                        the main window's accessible tree; the
                                        drop-down list NAME reads ENTRY as its
                                        current entry
  desktop_check.py tray PROGRAM [PNG]   the icon in the system tray (needs a
                                        tray host on the display); PNG: a
                                        screenshot with the tray menu open
"""

import re
import subprocess
import sys
import time

import pyatspi

problems = []


def report(found):
    print(found, flush=True)


def expect(condition, problem):
    if not condition:
        problems.append(problem)
    return condition


def wait_for(probe, seconds=20.0):
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.2)


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def descendants(node):
    for child in children(node):
        if child is None:
            continue
        yield child
        yield from descendants(child)


def states(node):
    return set(node.getState().getStates())


def showing(node):
    return pyatspi.STATE_SHOWING in states(node)


def related(node, relation):
    return [
        r.getTarget(i)
        for r in node.getRelationSet()
        if r.getRelationType() == relation
        for i in range(r.getNTargets())
    ]


def selected_children(node):
    """The selected children: through the Selection interface where there is
    one, else the children whose state says selected."""
    try:
        selection = node.querySelection()
        return [selection.getSelectedChild(i) for i in range(selection.nSelectedChildren)]
    except NotImplementedError:
        return [c for c in children(node) if c is not None and pyatspi.STATE_SELECTED in states(c)]


def current_entry(box):
    """A drop-down list's current entry the ways a screen reader (Orca) finds
    it: the one selected item of the box or, failing that, of its list; and
    the box's own text."""
    items = selected_children(box)
    if not items and box.childCount:
        items = selected_children(box.getChildAtIndex(0))
    item = items[0].name if len(items) == 1 else None
    try:
        text = box.queryText().getText(0, -1)
    except NotImplementedError:
        text = None
    return item, text


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app is not None and app.name == "tavrix":
            return app
    return None


def main_window(app):
    for window in children(app):
        if window.name == "Tavrix":
            return window
    return None


def check_tree(app, entries):
    window = wait_for(lambda: main_window(app))
    if not expect(window, "no window named Tavrix on the accessibility bus"):
        return
    role = window.getRole()
    report("window: %s %r" % (window.getRoleName(), window.name))
    expect(role in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW),
           "the main window is a %s, not a frame or window" % window.getRoleName())
    controls = [n for n in descendants(window) if showing(n)]

    # Text boxes and drop-down lists are named after the label pointing at them.
    boxes = [n for n in controls if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_COMBO_BOX)]
    for box in boxes:
        labels = related(box, pyatspi.RELATION_LABELLED_BY)
        label = labels[0].name if labels else None
        report("%s: %r labelled by %r" % (box.getRoleName(), box.name, label))
        expect(box.name, "a %s has no name" % box.getRoleName())
        if box.getRole() == pyatspi.ROLE_TEXT or label is not None:
            expect(label is not None and box.name == label,
                   "the %s %r is not named after its label %r" % (box.getRoleName(), box.name, label))
    # A drop-down list tells its current entry, not only its label.
    for box in boxes:
        if box.getRole() != pyatspi.ROLE_COMBO_BOX:
            continue
        item, text = current_entry(box)
        report("%s %r: selected item %r, text %r" % (box.getRoleName(), box.name, item, text))
        wanted = entries.pop(box.name, None)
        if wanted is not None:
            expect(item == wanted, "the list %r has %r selected, not %r" % (box.name, item, wanted))
            expect(text == wanted, "the list %r reads %r, not %r" % (box.name, text, wanted))
    expect(not entries, "no drop-down list named %r" % sorted(entries))
    texts = [b for b in boxes if b.getRole() == pyatspi.ROLE_TEXT]
    expect(len(texts) == 3, "%d text boxes instead of 3" % len(texts))
    expect(any(b.getRole() == pyatspi.ROLE_COMBO_BOX and b.name.startswith("Recently used stations")
               for b in boxes), "no recent station list named after its label")

    # Buttons say what they do; the two folder buttons which folder they choose.
    buttons = [n for n in controls if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    for button in buttons:
        report("button: %r" % button.name)
        expect(button.name and button.name.strip(". ") != "",
               "a button is named %r" % button.name)
    folders = sorted(b.name for b in buttons if "folder" in b.name)
    expect(folders == ["Choose the GTA MP3s folder", "Choose the temporary files folder"],
           "the folder buttons are %r" % folders)
    names = {b.name for b in buttons}
    for wanted in ("Start Buffering", "Exit", "About..."):
        expect(wanted in names, "no button named %r" % wanted)

    # The progress bar tells its value.
    bars = [n for n in controls if n.getRole() == pyatspi.ROLE_PROGRESS_BAR]
    if expect(len(bars) == 1, "%d progress bars instead of 1" % len(bars)):
        try:
            value = bars[0].queryValue()
            report("progress bar: %r %s (%s..%s)" % (bars[0].name, value.currentValue,
                                                     value.minimumValue, value.maximumValue))
            expect(bars[0].name, "the progress bar has no name")
            expect(value.minimumValue == 0 and value.maximumValue == 100
                   and 0 <= value.currentValue <= 100,
                   "the progress bar's value is %s of %s..%s" % (
                       value.currentValue, value.minimumValue, value.maximumValue))
        except NotImplementedError:
            problems.append("the progress bar has no value")

    # "Find..." can be reached with the keyboard and pressed.
    finds = [n for n in controls if n.name == "Find..."]
    if expect(len(finds) == 1, "no control named 'Find...'"):
        find = finds[0]
        report("Find...: %s, %s" % (find.getRoleName(),
                                    "focusable" if pyatspi.STATE_FOCUSABLE in states(find)
                                    else "not focusable"))
        expect(find.getRole() in (pyatspi.ROLE_LINK, pyatspi.ROLE_PUSH_BUTTON),
               "'Find...' is a %s" % find.getRoleName())
        expect(pyatspi.STATE_FOCUSABLE in states(find), "'Find...' cannot take the focus")
        try:
            expect(find.queryAction().nActions > 0, "'Find...' has no action")
        except NotImplementedError:
            problems.append("'Find...' has no action")

    # Whatever takes the focus has a name.
    for node in controls:
        if pyatspi.STATE_FOCUSABLE in states(node):
            expect(node.name, "a focusable %s has no name" % node.getRoleName())


def x_windows():
    """(depth, id, name, class, x, y, width, height) for every X window."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    pattern = re.compile(r'^(\s*)(0x[0-9a-f]+) (?:"(.*?)"|\(has no name\)): \((.*?)\)\s+'
                         r'(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)')
    windows = []
    for line in tree.splitlines():
        match = pattern.match(line)
        if match:
            indent, wid, name, klass, w, h, x, y = match.groups()
            windows.append((len(indent), wid, name or "", klass, int(x), int(y), int(w), int(h)))
    return windows


def tray_icon_window():
    """The Tavrix window inside the tray host's panel, if embedded."""
    panel_depth = None
    for depth, wid, name, klass, x, y, w, h in x_windows():
        if panel_depth is not None and depth <= panel_depth:
            panel_depth = None
        if '"trayer"' in klass and name == "panel":
            panel_depth = depth
        elif panel_depth is not None and '"tavrix"' in klass:
            return (wid, x, y, w, h)
    return None


def main_window_shown():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tavrix$"],
                          capture_output=True).returncode == 0


def check_tray(app, process, screenshot):
    icon = wait_for(tray_icon_window)
    if not expect(icon, "the tray host holds no Tavrix icon"):
        return
    wid, x, y, w, h = icon
    report("tray icon: window %s embedded in the tray host at %d,%d (%dx%d)" % (wid, x, y, w, h))
    expect(wait_for(main_window_shown), "the main window is not shown")
    centre = [str(x + w // 2), str(y + h // 2)]

    # Hovering shows the tooltip, which the accessibility bus reads out:
    # the program and the status line.
    subprocess.run(["xdotool", "mousemove"] + centre)
    tips = wait_for(lambda: [t for t in descendants_of_app(app)
                             if t.getRole() == pyatspi.ROLE_TOOL_TIP and showing(t)], 10)
    report("tooltip: %r" % (tips[0].name if tips else None))
    expect(tips and re.fullmatch(r"Tavrix\n.+", tips[0].name, re.S),
           "hovering over the icon showed no tooltip with the status")

    # A right click opens the menu, a popup window of the program's by the
    # icon (Qt keeps popups off the accessibility bus, so it is driven with
    # the keyboard): its first entry hides the window, a click on the icon
    # shows it again, its last entry ends the program.
    def open_menu():
        before = {win[1] for win in x_windows()}
        subprocess.run(["xdotool", "mousemove"] + centre + ["click", "3"])
        return wait_for(lambda: [win for win in x_windows()
                                 if win[1] not in before and '"tavrix"' in win[3]
                                 and win[7] > 40], 10)

    menu = open_menu()
    if not expect(menu, "a right click on the icon opened no menu"):
        return
    report("menu: a window %dx%d at %d,%d" % (menu[0][6], menu[0][7], menu[0][4], menu[0][5]))
    if screenshot:
        time.sleep(0.5)
        subprocess.run(["import", "-window", "root", screenshot], check=True)
        report("screenshot: %s" % screenshot)
    subprocess.run(["xdotool", "key", "Down", "Return"])
    expect(wait_for(lambda: not main_window_shown(), 10), "the first menu entry left the window shown")
    report("first entry: window %s" % ("shown" if main_window_shown() else "hidden"))
    subprocess.run(["xdotool", "mousemove"] + centre + ["click", "1"])
    expect(wait_for(main_window_shown, 10), "a click on the icon did not show the window")
    report("click on the icon: window %s" % ("shown" if main_window_shown() else "hidden"))
    if expect(open_menu(), "a second right click opened no menu"):
        subprocess.run(["xdotool", "key", "Up", "Return"])
        ended = wait_for(lambda: process.poll() is not None, 10)
        expect(ended and process.returncode == 0, "the last menu entry did not end the program")
        report("last entry: program %s" % ("ended, status %s" % process.returncode if ended
                                           else "still running"))


def descendants_of_app(app):
    for window in children(app):
        if window is not None:
            yield window
            yield from descendants(window)


def main():
    mode, program = sys.argv[1], sys.argv[2]
    screenshot = sys.argv[3] if mode == "tray" and len(sys.argv) > 3 else None
    entries = dict(a.split("=", 1) for a in sys.argv[3:]) if mode == "tree" else {}
    process = subprocess.Popen([program])
    try:
        app = wait_for(application, 30)
        if expect(app, "the program did not appear on the accessibility bus"):
            if mode == "tray":
                check_tray(app, process, screenshot)
            else:
                check_tree(app, entries)
                expect(process.poll() is None, "the program ended by itself")
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
    for problem in problems:
        print("MISSING: " + problem, flush=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
