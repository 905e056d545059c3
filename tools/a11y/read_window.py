#!/usr/bin/python3
"""Reads the running assistant's window through AT-SPI, the way a screen reader does, and
checks that the fields carry their labels' names and the painted widgets their values.
Run by check-a11y.sh; prints the tree, exits 1 when something expected is missing."""
import sys
import time

import pyatspi

EXPECTED_NAMES = [
    "COM Port", "Baud Rate", "SMS Primary number:", "Low Battery:", "G-sensor parameter:",
    "Mode", "Interval:", "Times:", "Call 1", "Query status", "Connection lamp", "GSM:",
    "Battery:", "ID:",
]


def find_app(name, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    return None


def walk(node, depth, seen):
    try:
        role = node.getRoleName()
        name = node.name
        description = node.description
    except Exception:  # a node that went away meanwhile
        return
    value = ""
    try:
        value = "value=%g" % node.queryValue().currentValue
    except NotImplementedError:
        pass
    if name or description or value:
        print("%s%s %r %r %s" % ("  " * depth, role, name, description, value))
    seen.append((role, name, description, value))
    for child in node:
        if child is not None:
            walk(child, depth + 1, seen)


def main():
    app = find_app("tervo-assistant")
    if app is None:
        print("tervo-assistant not found on the accessibility bus")
        return 1
    seen = []
    walk(app, 0, seen)
    names = {name for _, name, _, _ in seen}
    missing = [name for name in EXPECTED_NAMES if name not in names]
    described = {name for _, name, description, _ in seen if description}
    for name, what in (("Connection lamp", "the lamp's state"), ("ID:", "the ID display's digits")):
        if name not in described:
            missing.append(what)
    if missing:
        print("MISSING:", missing)
        return 1
    print("all expected names found")
    return 0


if __name__ == "__main__":
    sys.exit(main())
