#!/usr/bin/env python3
"""Runs every console example of a document and of the documents it links.

Usage: console.py BINDIR DOCUMENT

A ```console block holds commands after "$ ", each followed by the output it
must print, standard output and standard error as a terminal shows them.
The blocks of one document run in order in one scratch folder, so a block
may use what an earlier one made; the folder starts with copies of boards/
and examples/ and the 3player.board that trackgen writes, and the tools in
BINDIR come first on the path. A block whose previous line is
<!-- not run --> only illustrates and is skipped. Markdown links to .md
files are followed; a link to a document that is not there fails too.
"""

import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = "<!-- not run -->"
LINK = re.compile(r"\]\(([^)#\s]+\.md)\)")


def examples(lines):
    """Yields (line number, command, expected output) for each command."""
    block = None  # the commands of the block being read, or None
    for number, line in enumerate(lines, 1):
        if block is None:
            if line.strip() == "```console":
                skipped = number > 1 and lines[number - 2].strip() == SKIP
                block = [] if not skipped else False
        elif line.startswith("```"):
            yield from block or []
            block = None
        elif block is False:
            continue
        elif line.startswith("$ "):
            block.append((number, line[2:], []))
        elif block:
            block[-1][2].append(line)
    if block:
        yield from block


def environment(bindir):
    env = {k: v for k, v in os.environ.items()
           if k not in ("NO_COLOR", "COLUMNS", "LINES")}
    env["PATH"] = bindir + os.pathsep + env.get("PATH", "")
    env["LC_ALL"] = "C.UTF-8"
    return env


def rundocument(path, bindir, source):
    """Runs the document's examples; returns the failures as messages."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    failures = []
    with tempfile.TemporaryDirectory(prefix="console.") as scratch:
        for folder in ("boards", "examples"):
            shutil.copytree(os.path.join(source, folder),
                            os.path.join(scratch, folder))
        env = environment(bindir)
        subprocess.run(["trackgen"], cwd=scratch, env=env, check=True)
        for number, command, expected in examples(lines):
            run = subprocess.run(["bash", "-c", command], cwd=scratch, env=env,
                                 stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, timeout=60)
            printed = run.stdout.decode("utf-8", "replace").splitlines()
            if printed != expected:
                diff = difflib.unified_diff(expected, printed, "shown",
                                            "printed", lineterm="")
                failures.append(f"{path}:{number}: $ {command}\n" +
                                "\n".join(diff))
    return failures


def linked(path, lines):
    folder = os.path.dirname(path)
    for line in lines:
        for target in LINK.findall(line):
            if "://" not in target:
                yield os.path.normpath(os.path.join(folder, target))


def main():
    bindir, first = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    source = os.path.dirname(first)
    pending, seen, failures, count = [first], set(), [], 0
    while pending:
        path = pending.pop(0)
        if path in seen:
            continue
        seen.add(path)
        if not os.path.isfile(path):
            failures.append(f"{path}: linked, but not there")
            continue
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        count += sum(1 for _ in examples(lines))
        failures += rundocument(path, bindir, source)
        pending += linked(path, lines)
    for failure in failures:
        print(failure, end="\n\n")
    print(f"{count} commands in {len(seen)} documents, "
          f"{len(failures)} failures")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
