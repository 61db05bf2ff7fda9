#!/usr/bin/env python3
"""Structure rules of the source tree, checked by ctest.

1. The files of src/descriptors form no include cycle, counting a header and
   its source file as one module.
2. TStreamBrowser (src/browser/StreamBrowser.h) has no public data member.
3. The layers: a folder includes only from the folders below it (LAYERS), and
   a Qt header only where widgets or Qt Network are the job (QT_FOLDERS).
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

# 3. Which folder may include which: each folder may include itself and the
# folders listed for it, nothing above. Tests, benchmarks and fuzz targets
# may include anything.
LAYERS = {
    "src/core": set(),
    "src/descriptors": {"core"},
    "src/decode": {"core", "descriptors"},
    "src/extract": {"core"},
    "src/hex": {"core"},
    "src/analysis": {"core"},
    "src/validation": {"core", "analysis"},
    "src/version": {"core"},
    "src/update": {"core", "version"},
    "src/browser": {"core", "descriptors", "decode", "extract", "hex", "analysis"},
    "src/ui": {"core", "descriptors", "decode", "extract", "hex", "analysis", "validation", "version", "update",
               "browser"},
    "src/app": {"core", "version", "update", "browser", "ui"},
    "src/cli": {"core", "descriptors", "decode", "extract", "hex", "analysis", "validation", "version", "update",
                "browser"},
    "modules/validator": {"core", "analysis", "validation"},
    "modules/update": {"core", "version", "update"},
}
QT_FOLDERS = ("src/ui", "src/update", "src/app", "modules/update", "modules/validator/dialog")
SOURCES = ("*.h", "*.cpp")


def layer_of(path):
    relative = path.relative_to(root).as_posix()
    for folder in sorted(LAYERS, key=len, reverse=True):
        if relative.startswith(folder + "/"):
            return folder
    return None


for top in ("src", "modules"):
    for pattern in SOURCES:
        for path in sorted((root / top).rglob(pattern)):
            layer = layer_of(path)
            if layer is None:
                failures.append("source outside every layer: " + path.relative_to(root).as_posix())
                continue
            own = layer.split("/")[-1]
            relative = path.relative_to(root).as_posix()
            for number, line in enumerate(path.read_text().splitlines(), 1):
                quoted = re.match(r'\s*#\s*include\s+"([a-z_]+)/', line)
                if quoted and quoted.group(1) != own and quoted.group(1) not in LAYERS[layer]:
                    failures.append("%s:%d: %s may not include %s" % (relative, number, layer, line.strip()))
                angled = re.match(r"\s*#\s*include\s+<(Q[A-Za-z]*|qt[a-z]*/)", line)
                if angled and not relative.startswith(QT_FOLDERS):
                    failures.append("%s:%d: a Qt header outside the widget layers: %s" % (relative, number, line.strip()))

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
