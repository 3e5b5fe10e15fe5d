#!/usr/bin/python3
"""Reads Vantelo's main window through the accessibility bus (AT-SPI), as a
screen reader would, and prints the entry grid: its role, name, size, column
headers, the rows' cells, the selected rows and the focused cell.

  read-grid-accessibility.py [MAX_ROWS]
  read-grid-accessibility.py --listen SECONDS COMMAND...
      prints what a screen reader is told (focus changes, new descriptions,
      selected states) while COMMAND (xdotool keys, say) runs

Run it while `vantelo ARCHIVE` is up in the same session bus with the
accessibility bus running (scripts/check-accessibility does all of that under
Xvfb). Exits non-zero when no table with entry names is found, when no cell
of it is focused with a name or type to read, or when listening heard nothing.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def find(node, role, depth=0):
    if node is None or depth > 30:
        return None
    if node.getRole() == role:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, depth + 1)
        if found is not None:
            return found
    return None


def vantelo_app(desktop):
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and "vantelo" in (app.name or "").lower():
            return app
    return None


def listen(seconds, command):
    heard = []

    def on_event(event):
        source = event.source
        if event.type.startswith("object:state-changed") and not event.detail1:
            return  # a state going off: the one coming on says it
        try:
            role, name, description = source.getRoleName(), source.name, source.description
        except Exception:  # the object went away meanwhile
            return
        line = f"{event.type}: {role} name={name!r}"
        if event.type.endswith("accessible-description"):
            line += f" description={description!r}"
        heard.append(line)
        print(line, flush=True)

    kinds = ["object:state-changed:focused", "object:state-changed:selected",
             "object:property-change:accessible-description"]
    pyatspi.Registry.registerEventListener(on_event, *kinds)
    GLib.timeout_add(300, lambda: subprocess.Popen(command) and False)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    return 0 if heard else 1


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--listen":
        return listen(float(sys.argv[2]), sys.argv[3:])
    max_rows = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    deadline = time.time() + 20
    table = None
    while time.time() < deadline and table is None:
        app = vantelo_app(pyatspi.Registry.getDesktop(0))
        table = find(app, pyatspi.ROLE_TABLE) if app is not None else None
        if table is None:
            time.sleep(0.5)
    if table is None:
        print("no table found")
        return 1
    t = table.queryTable()
    print(f"application: {app.name}")
    print(f"table: role={table.getRoleName()!r} name={table.name!r} "
          f"description={table.description!r}")
    print(f"rows={t.nRows} columns={t.nColumns} children={table.childCount}")
    headers = [t.getColumnDescription(c) for c in range(t.nColumns)]
    print("headers: " + " | ".join(repr(h) for h in headers))
    names = []
    for r in range(min(t.nRows, max_rows)):
        cells = [t.getAccessibleAt(r, c) for c in range(t.nColumns)]
        texts = [cell.name if cell is not None else "<none>" for cell in cells]
        roles = {cell.getRoleName() for cell in cells if cell is not None}
        names.append(texts[1] if len(texts) > 1 else "")
        print(f"row {r:3}: " + " | ".join(texts) + f"   ({', '.join(sorted(roles))})")
    print(f"selected rows: {list(t.getSelectedRows())}")
    state = table.getState()
    print(f"table states: focused={state.contains(pyatspi.STATE_FOCUSED)} "
          f"multiselectable={state.contains(pyatspi.STATE_MULTISELECTABLE)}")
    focused_name = ""
    for r in range(min(t.nRows, 1000)):
        for c in range(t.nColumns):
            cell = t.getAccessibleAt(r, c)
            if cell is not None and cell.getState().contains(pyatspi.STATE_FOCUSED):
                selected = cell.getState().contains(pyatspi.STATE_SELECTED)
                focused_name = cell.name
                print(f"focused cell: row {r} column {c} ({headers[c]!r}) "
                      f"name={cell.name!r} selected={selected}")
    if not focused_name.strip():
        print("no focused cell with a name or type")
        return 1
    return 0 if any(names) or max_rows == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
