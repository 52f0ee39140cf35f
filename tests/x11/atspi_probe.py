#!/usr/bin/env python3
"""Reads a running lumovox through AT-SPI, as a screen reader would.

  atspi_probe.py tree           every object: role|name|description|states, one a line
  atspi_probe.py press NAME     runs the first action of the first object named NAME
  atspi_probe.py activate NAME  runs its action named "activate" (a row: play it)
  atspi_probe.py focused        the objects that hold the focus: role|name

Exits with 2 when the program is not (yet) on the accessibility bus, 3 when nothing is
named NAME."""
import sys

import pyatspi

STATES = {pyatspi.STATE_FOCUSED: "focused", pyatspi.STATE_SELECTABLE: "selectable",
          pyatspi.STATE_SELECTED: "selected", pyatspi.STATE_CHECKED: "checked",
          pyatspi.STATE_ENABLED: "enabled"}


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        child = desktop.getChildAtIndex(i)
        if child is not None and child.name == "lumovox":
            return child
    sys.exit(2)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def states(node):
    held = node.getState()
    return ",".join(name for state, name in STATES.items() if held.contains(state))


def main():
    app = application()
    command = sys.argv[1]
    if command == "tree":
        for node in walk(app):
            description = node.description.replace("\n", " ")
            print(f"{node.getRoleName()}|{node.name}|{description}|{states(node)}")
    elif command in ("press", "activate"):
        for node in walk(app):
            if node.name == sys.argv[2]:
                action = node.queryAction()
                names = [action.getName(i) for i in range(action.nActions)]
                action.doAction(names.index("activate") if command == "activate" else 0)
                return
        sys.exit(3)
    elif command == "focused":
        for node in walk(app):
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                print(f"{node.getRoleName()}|{node.name}")


if __name__ == "__main__":
    main()
