#!/usr/bin/env python3
"""Plants realistic faults one at a time and tells which ones the test suite does not catch.

Each fault of scripts/planted-faults.txt (a file, an exact text, its replacement) is written
into the source, the build tree is rebuilt incrementally, the suite runs, and the source is
put back. A fault is caught when the suite fails; it survives when the suite passes; it is
left out of the rate when it does not compile. Usage:

    python3 scripts/plant-faults.py [--build build] [--only PATTERN] [--list] [--matrix FILE]

--matrix writes, for every fault planted, the tests that failed (JSON), to see which tests
catch a fault no other test catches.

The build tree must exist and be green (bash scripts/test.sh makes it). The source is
restored after every fault, also when the run is interrupted.
"""

import argparse
import concurrent.futures
import json
import os
import pathlib
import re
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
FAULTS = ROOT / "scripts" / "planted-faults.txt"
TEST_TIMEOUT_S = 120


def parse(path):
    faults = []
    current = None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("#") or (not line.strip() and current is None):
            continue
        if line.startswith("@ "):
            where, _, what = line[2:].partition(": ")
            current = {"file": where.strip(), "what": what.strip(), "old": [], "new": [], "line": number}
            faults.append(current)
        elif line.startswith("- ") or line == "-":
            current["old"].append(line[2:])
        elif line.startswith("+ ") or line == "+":
            current["new"].append(line[2:])
        elif not line.strip():
            current = None
        else:
            sys.exit(f"{path}:{number}: a line must start with '@ ', '- ', '+ ' or '#'")
    for f in faults:
        f["old"] = "\n".join(f["old"])
        f["new"] = "\n".join(f["new"])
    return faults


def build_tree(build):
    return subprocess.run(["cmake", "--build", str(build)], cwd=ROOT, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)


def suite_runs(build):
    """The suite as few processes: each test binary once with the tests ctest runs from it
    (and the environment it gives them), each other test as ctest runs it."""
    shown = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True, check=True)
    listing = json.loads(shown.stdout)
    groups = {}
    for test in listing["tests"]:
        env = {}
        for prop in test.get("properties", []):
            if prop["name"] == "ENVIRONMENT":
                env.update(item.split("=", 1) for item in prop["value"])
            elif prop["name"] == "ENVIRONMENT_MODIFICATION":
                for item in prop["value"]:
                    name, _, change = item.partition("=")
                    if change.startswith("set:"):
                        env[name] = change[4:]
        command = test["command"]
        filters = [a.split("=", 1)[1] for a in command if a.startswith("--gtest_filter=")]
        key = (command[0], tuple(sorted(env.items()))) if filters else (tuple(command), ())
        group = groups.setdefault(key, {"command": [command[0]] if filters else command, "env": env, "names": []})
        group["names"] += filters
    runs = []
    for group in groups.values():
        command = list(group["command"])
        if group["names"]:
            command += ["--gtest_brief=1", "--gtest_filter=" + ":".join(group["names"])]
        runs.append((command, group["env"]))
    return runs


def run_one(command, env, build):
    try:
        done = subprocess.run(command, cwd=build, env={**os.environ, "QT_QPA_PLATFORM": "offscreen", **env},
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=TEST_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        return [f"{pathlib.Path(command[0]).name} (timed out)"]
    if done.returncode == 0:
        return []
    names = re.findall(r"^\[  FAILED  \] (\S+?)(?:,| \(|$)", done.stdout, re.MULTILINE)
    prefix = "it_IT." if env.get("VALMORA_TEST_LOCALE") else ""
    return [prefix + n for n in dict.fromkeys(names)] or [pathlib.Path(command[0]).name]


def run_suite(runs, build):
    """Runs the suite, two processes at a time; returns the names of the tests that failed."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        results = pool.map(lambda r: run_one(r[0], r[1], build), runs)
    return [name for failed in results for name in failed]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build tree, relative to the repository")
    parser.add_argument("--only", default="", help="plant only the faults whose file or description matches")
    parser.add_argument("--list", action="store_true", help="check and list the faults, plant none")
    parser.add_argument("--matrix", help="write which tests caught each fault to this JSON file")
    args = parser.parse_args()
    build = ROOT / args.build
    faults = [f for f in parse(FAULTS) if re.search(args.only, f["file"] + " " + f["what"])]

    for f in faults:
        source = (ROOT / f["file"]).read_text(encoding="utf-8")
        if source.count(f["old"]) != 1:
            sys.exit(f"planted-faults.txt:{f['line']}: the text occurs {source.count(f['old'])} times in {f['file']}")
    if args.list:
        for f in faults:
            print(f"{f['file']}: {f['what']}")
        return 0

    runs = suite_runs(build)
    if run_suite(runs, build):
        sys.exit("the suite fails before any fault is planted: make the build tree green first")
    caught, survived, broken = [], [], []
    started = time.time()
    for index, f in enumerate(faults, 1):
        path = ROOT / f["file"]
        original = path.read_text(encoding="utf-8")
        try:
            path.write_text(original.replace(f["old"], f["new"], 1), encoding="utf-8")
            built = build_tree(build)
            if built.returncode != 0:
                broken.append(f)
                verdict = "does not compile"
            else:
                f["by"] = run_suite(runs, build)
                if f["by"]:
                    caught.append(f)
                    verdict = f"caught by {len(f['by'])}: " + " ".join(f["by"][:3])
                else:
                    survived.append(f)
                    verdict = "SURVIVED"
        finally:
            path.write_text(original, encoding="utf-8")
        print(f"[{index}/{len(faults)}] {f['file']}: {f['what']}: {verdict}", flush=True)

    build_tree(build)  # the build as the source stands again
    if args.matrix:
        pathlib.Path(args.matrix).write_text(json.dumps(
            [{"file": f["file"], "what": f["what"], "by": f.get("by")} for f in faults], indent=1,
            ensure_ascii=False), encoding="utf-8")
    planted = len(caught) + len(survived)
    print()
    print(f"planted {planted} (and {len(broken)} that do not compile), caught {len(caught)}, "
          f"survived {len(survived)}: {100.0 * len(caught) / max(planted, 1):.1f} % caught "
          f"in {(time.time() - started) / 60:.1f} min")
    for f in survived:
        print(f"  survived: {f['file']}: {f['what']}")
    for f in broken:
        print(f"  does not compile: {f['file']}: {f['what']}")
    return 0 if not survived else 1


if __name__ == "__main__":
    sys.exit(main())
