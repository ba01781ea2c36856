#!/usr/bin/env python3
"""Checks every #include "..." of the sources against the folders each folder may use.

A folder may include its own files and those of the folders listed for it below; anything else
is an upward (or sideways) include and is reported with its file and line. The exit status is 1
when there is one, 0 when every include keeps to the table.

Usage: check-layers.py [--root DIR]   (default: the repository this script lies in)
"""
import argparse
import os
import re
import sys

CORE = ["util", "typography", "formats/lit", "formats/epub", "pawk", "engine", "formats",
        "library", "platform", "builder", "devicelink"]

# Which folders each folder may include from, besides itself. Bottom to top.
ALLOWED = {
    "util": [],
    "typography": ["util"],
    "formats/lit": ["util"],
    "formats/epub": ["util"],
    "pawk": ["util"],
    "engine": ["typography", "util"],
    "formats": ["engine", "formats/lit", "formats/epub", "pawk", "util"],
    "library": ["formats", "engine", "pawk", "util"],
    "platform": ["engine", "util"],  # only DisplaySettings, its own library, uses the engine
    "builder": ["formats", "formats/lit", "formats/epub", "pawk", "engine", "util"],
    "devicelink": ["platform", "util"],
    "platform/qt": ["engine", "platform", "util"],
    "platform/qtprint": ["platform/qt", "engine", "platform", "util"],
    "view": ["library", "formats", "engine", "typography", "platform", "platform/qt", "util"],
    "desktop": ["view", "builder", "devicelink", "library", "formats", "formats/lit", "formats/epub", "pawk",
                "engine", "typography", "platform", "platform/qt", "platform/qtprint", "util"],
    "device": ["view", "library", "formats", "engine", "typography", "platform", "platform/qt", "util"],
    "cli": CORE + ["platform/qt", "platform/qtprint"],
    # Tests, fuzzers and benchmarks stand above everything.
    "tests": CORE + ["platform/qt", "platform/qtprint", "view", "desktop", "device", "cli"],
    "fuzz": CORE + ["view", "tests"],
    "bench": CORE + ["platform/qt", "platform/qtprint", "view", "desktop", "device", "tests"],
}

SOURCE_SUFFIXES = (".cpp", ".h", ".inc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(path):
    """The folder of the table a path (relative to the root, with "/") belongs to, or None."""
    best = None
    for folder in ALLOWED:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def resolve(root, including, name):
    """The file an include names, relative to the root: beside the including file, from the
    root, or (for tests' helpers) from tests/."""
    for base in (os.path.dirname(including), "", "tests"):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate.replace(os.sep, "/")
    return name  # a file made by the build: judged by its name


def check(root):
    problems = []
    for top in sorted({f.split("/")[0] for f in ALLOWED}):
        for directory, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if d not in ("data", "corpus"))
            for file in sorted(files):
                if not file.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(directory, file), root).replace(os.sep, "/")
                own = folder_of(path)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = folder_of(resolve(root, path, match.group(1)))
                        if target is None or target == own or target in ALLOWED[own]:
                            continue
                        problems.append(f"{path}:{number}: {own}/ may not include "
                                        f"\"{match.group(1)}\" ({target}/)")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(
        os.path.abspath(__file__))))
    problems = check(parser.parse_args().root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
