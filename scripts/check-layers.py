#!/usr/bin/env python3
"""Checks that the folders are layers: a source file includes only headers of its own folder
or of the folders below it, in the order of LAYERS (the first is the bottom). The tests and
the benchmarks stand beside the layers and may include any of them.

    python3 scripts/check-layers.py           check; name every include that runs upward
    python3 scripts/check-layers.py --graph   print the include graph between the folders
"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LAYERS = ["platform", "model", "storage", "standards", "dialogs", "editor", "schema", "report", "app", "cli"]
BESIDE = {"tests", "bench"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/', re.MULTILINE)


def sources():
    listed = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=ROOT, check=True,
                            stdout=subprocess.PIPE, text=True).stdout.split()
    return [path for path in listed if "/" in path]


def main():
    graph = {}
    upward = []
    unknown = set()
    for path in sources():
        folder = path.split("/")[0]
        if folder in BESIDE:
            continue
        if folder not in LAYERS:
            unknown.add(folder)
            continue
        text = (ROOT / path).read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            if target == folder or target not in LAYERS:
                continue
            graph.setdefault(folder, set()).add(target)
            if LAYERS.index(target) > LAYERS.index(folder):
                line = text.count("\n", 0, match.start()) + 1
                upward.append(f"{path}:{line}: {folder} includes {target}, a layer above it")
    if "--graph" in sys.argv:
        for folder in LAYERS:
            below = sorted(graph.get(folder, ()), key=LAYERS.index, reverse=True)
            print(f"{folder:10} -> {', '.join(below) if below else '(nothing)'}")
    for folder in sorted(unknown):
        upward.append(f"{folder}/: a folder of sources that is no layer (add it to LAYERS in its place)")
    for problem in upward:
        print(problem, file=sys.stderr)
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
