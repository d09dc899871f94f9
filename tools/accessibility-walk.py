#!/usr/bin/python3
# Walks the accessibility tree of the running Tarvex window (see accessibility-check.sh).
import pyatspi, sys, time
time.sleep(4)
desktop = pyatspi.Registry.getDesktop(0)
app = None
for i in range(desktop.childCount):
    a = desktop.getChildAtIndex(i)
    if a and a.name.lower().startswith('tarvex'):
        app = a
counts = {}
out = []
def walk(node, depth):
    try:
        role = node.getRoleName(); name = node.name
    except Exception:
        return
    counts[role] = counts.get(role, 0) + 1
    if role in ('link', 'push button', 'radio button', 'check box', 'text', 'list', 'page tab', 'panel') and depth < 12:
        out.append(f"{role}: {name!r}")
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1)
if not app:
    print("no Tarvex application on the accessibility bus"); sys.exit(1)
walk(app, 0)
print("roles:", {k: v for k, v in sorted(counts.items())})
for line in out:
    if line.startswith(('link', 'radio', 'list', 'push')): print(line)
print("texts without a name:", sum(1 for l in out if l.startswith('text') and l.endswith("''")))
