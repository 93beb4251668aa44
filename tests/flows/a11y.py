"""Prints what a screen reader gets from one process: a JSON list of its accessibles (role,
name, states, and what a text field holds), read over AT-SPI; GTK 4.8 marks few of them showing, so all are listed.
Run with the system's python3 (for pyatspi) on the session's bus: a11y.py PID"""
import json
import sys

import pyatspi


def listed(accessible, found: list, depth: int = 0) -> None:
    states = accessible.getState()
    item = {"role": accessible.getRoleName(), "name": accessible.name or "",
            "states": sorted(pyatspi.stateToString(state) for state in states.getStates())}
    if item["role"] == "text":
        try:
            item["text"] = accessible.queryText().getText(0, -1)
        except NotImplementedError:
            pass
    found.append(item)
    for index in range(min(accessible.childCount, 500)):
        child = accessible.getChildAtIndex(index)
        if child is not None and depth < 60:
            listed(child, found, depth + 1)


def main() -> None:
    pid = int(sys.argv[1])
    found: list = []
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.get_process_id() == pid:
            listed(application, found)
    print(json.dumps(found))


if __name__ == "__main__":
    main()
