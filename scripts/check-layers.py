#!/usr/bin/env python3
"""Checks that every include points down the layers (or stays in its own folder) and that no
module (a .h/.cpp pair) reaches itself through its includes. Exits non-zero on a finding."""
import pathlib
import re
import sys

LAYERS = ["platform", "algemeen", "logbook", "store", "scheduler", "core", "win32", "ui", "app"]
root = pathlib.Path(__file__).resolve().parent.parent
include = re.compile(r'#include "([a-z0-9_]+)/([^"]+)"')

edges = {}
bad = []
for rank, layer in enumerate(LAYERS):
    for path in sorted((root / layer).rglob("*.[ch]*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        module = str(path.relative_to(root).with_suffix(""))
        for folder, rest in include.findall(path.read_text()):
            if folder not in LAYERS:
                continue
            if LAYERS.index(folder) > rank:
                bad.append(f"{path.relative_to(root)} includes {folder}/{rest} (up a layer)")
            target = str(pathlib.Path(folder, rest).with_suffix(""))
            if target != module:
                edges.setdefault(module, set()).add(target)


def cycle_from(start):
    stack, seen = [(start, [start])], set()
    while stack:
        node, trail = stack.pop()
        for nxt in edges.get(node, ()):
            if nxt == start:
                return trail + [start]
            if nxt not in seen:
                seen.add(nxt)
                stack.append((nxt, trail + [nxt]))
    return None


for module in sorted(edges):
    loop = cycle_from(module)
    if loop:
        bad.append("loop: " + " -> ".join(loop))

for line in bad:
    print(line)
print(f"{len(bad)} findings in {len(LAYERS)} layers")
sys.exit(1 if bad else 0)
