#!/usr/bin/env python3
"""Structure rules of the source tree, checked by ctest.

1. The files of src/descriptors form no include cycle, counting a header and
   its source file as one module.
2. TStreamBrowser (src/browser/StreamBrowser.h) has no public data member.
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
failures = []

# 1. Include cycles among the descriptor modules.
folder = root / "src" / "descriptors"
edges = {}
for path in sorted(folder.glob("*.[ch]*")):
    module = path.stem
    for include in re.findall(r'#include\s+"descriptors/([^"]+)\.h"', path.read_text()):
        if include != module:
            edges.setdefault(module, set()).add(include)


def find_cycle():
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                return trail + [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [node])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(edges):
        if node not in state:
            found = visit(node, [])
            if found:
                return found
    return None


cycle = find_cycle()
if cycle:
    start = cycle.index(cycle[-1])
    failures.append("include cycle in src/descriptors: " + " -> ".join(cycle[start:]))

# 2. Public data members of TStreamBrowser.
header = (root / "src" / "browser" / "StreamBrowser.h").read_text()
body = header[header.index("class TStreamBrowser {"):]
body = body[: body.index("\n};")]
access = "private"
depth = 0
for line in body.splitlines()[1:]:
    code = line.split("//")[0].strip()
    if re.fullmatch(r"(public|private|protected):", code):
        access = code[:-1]
        continue
    opened = depth
    depth += code.count("{") - code.count("}")
    if opened > 0 or not code or access != "public":
        continue
    is_function = "(" in code or code.startswith("template") or code.startswith("using")
    if code.endswith(";") and not is_function and not code.startswith("static constexpr"):
        failures.append("public data member in TStreamBrowser: " + code)

for failure in failures:
    print(failure)
print("structure: %d problem(s)" % len(failures))
sys.exit(1 if failures else 0)
