#!/usr/bin/python3
"""Prints what a screen reader learns of a running Tarvo: every window and control on the
accessibility bus with its role, name, states and text.

Run Tarvo with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 in the same D-Bus session (see
tools/try-under-xvfb.sh), then: /usr/bin/python3 tools/a11y-tree.py [application-name]
"""
import sys

import pyatspi

WANTED_STATES = ("focused", "focusable", "editable", "read_only", "checked", "showing")


def describe(node):
    role = node.getRoleName()
    name = node.name or ""
    states = node.getState().getStates()
    shown = [pyatspi.stateToString(s) for s in states if pyatspi.stateToString(s) in WANTED_STATES]
    text = ""
    try:
        t = node.queryText()
        text = t.getText(0, min(t.characterCount, 60))
    except NotImplementedError:
        pass
    line = f"{role} '{name}'"
    if text and text != name:
        line += f" text='{text}'"
    if shown:
        line += " [" + ",".join(shown) + "]"
    return line


def walk(node, depth):
    print("  " * depth + describe(node))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1)


def main():
    wanted = sys.argv[1] if len(sys.argv) > 1 else "Tarvo"
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == wanted:
            walk(app, 0)
            return 0
    print(f"no application '{wanted}' on the accessibility bus", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
