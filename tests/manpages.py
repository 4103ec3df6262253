#!/usr/bin/env python3
"""Holds the manual pages to what the tools and the README say.

Usage: manpages.py options BINDIR SOURCE
       manpages.py lint SOURCE

"options": for each tool with a page in SOURCE/man, the options its --help
names are those of the page's OPTIONS, of its SYNOPSIS (--help and
--version aside, which OPTIONS must list) and of the bash completion in
SOURCE/completion/boards.bash, and every synopsis of the tool
in the README and the documents beside it ("`tool [--x] FILE`") is the
usage line of its --help. "lint": groff -ww and mandoc -T lint find nothing
to say about any page (skipped where either is missing).
"""

import glob
import os
import re
import shutil
import subprocess
import sys

ALWAYS = {"--help", "--version"}
SKIPPED = 77  # what CTest takes for a test that did not run
OPTION = re.compile(r"--[a-z][a-z-]*")


def section(page, name):
    """The lines of a page's section, up to the next .SH."""
    lines, inside = [], False
    for line in page.splitlines():
        if line.startswith(".SH "):
            inside = line[4:].strip('"') == name
        elif inside:
            lines.append(line)
    return lines


def roffoptions(lines):
    return set(OPTION.findall("\n".join(lines).replace("\\-", "-")))


def tagged(lines):
    """The options that OPTIONS lists as items: the line after each .TP."""
    tags = [lines[i + 1] for i, line in enumerate(lines[:-1]) if line == ".TP"]
    return roffoptions(tags)


def synopses(source, tool):
    """Each synopsis of the tool in the Markdown documents, one line each."""
    found = []
    paths = [os.path.join(source, "README.md")]
    paths += glob.glob(os.path.join(source, "docs", "*.md"))
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = " ".join(f.read().split())
        pattern = r"`(" + tool + r" \[--[^`]*)`"
        found += [(os.path.relpath(path, source), s)
                  for s in re.findall(pattern, text)]
    return found


def completed(source, tool):
    """The options bash completes for the tool after a lone "--"."""
    script = ('source "$1"; COMP_WORDS=("$2" --); COMP_CWORD=1; '
              '_boards "$2"; printf "%s\\n" "${COMPREPLY[@]}"')
    run = subprocess.run(["bash", "-c", script, "bash",
                          os.path.join(source, "completion", "boards.bash"),
                          tool], stdout=subprocess.PIPE, text=True,
                         check=False)
    return set(OPTION.findall(run.stdout))


def checkoptions(bindir, source):
    problems = []
    for path in sorted(glob.glob(os.path.join(source, "man", "*.1"))):
        tool = os.path.basename(path)[:-2]
        with open(path, encoding="utf-8") as f:
            page = f.read()
        run = subprocess.run([os.path.join(bindir, tool), "--help"],
                             stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                             text=True, check=False)
        helped = set(OPTION.findall(run.stdout)) - ALWAYS
        listed = tagged(section(page, "OPTIONS"))
        synopsis = roffoptions(section(page, "SYNOPSIS")) - ALWAYS
        where = {f"`{tool} --help`": helped,
                 f"the OPTIONS of man/{tool}.1": listed - ALWAYS,
                 f"the SYNOPSIS of man/{tool}.1": synopsis,
                 "the bash completion": completed(source, tool) - ALWAYS}
        for option in sorted(set().union(*where.values())):
            missing = [name for name, found in where.items()
                       if option not in found]
            if missing:
                problems.append(f"{tool}: {option} is missing from " +
                                " and ".join(missing))
        for option in sorted(ALWAYS - listed):
            problems.append(f"{tool}: {option} is missing from the OPTIONS "
                            f"of man/{tool}.1")
        for option in sorted(ALWAYS - completed(source, tool)):
            problems.append(f"{tool}: {option} is missing from the bash "
                            "completion")
        usage = run.stdout.splitlines()[0] if run.stdout else ""
        for document, shown in synopses(source, tool):
            if "usage: " + shown != usage:
                problems.append(f"{tool}: {document} shows `{shown}`, "
                                f"--help says `{usage}`")
    return problems


def lint(source):
    for linter in ("groff", "mandoc"):
        if shutil.which(linter) is None:
            print(f"{linter} is not installed (scripts/install-deps)")
            sys.exit(SKIPPED)
    problems = []
    for path in sorted(glob.glob(os.path.join(source, "man", "*.[0-9]"))):
        for command in (["groff", "-man", "-ww", "-z", path],
                        ["mandoc", "-T", "lint", path]):
            run = subprocess.run(command, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True,
                                 check=False)
            if run.stdout or run.returncode != 0:
                problems.append(f"{' '.join(command[:-1])} "
                                f"{os.path.relpath(path, source)}:\n"
                                f"{run.stdout}")
    return problems


def main():
    if sys.argv[1] == "options":
        problems = checkoptions(os.path.abspath(sys.argv[2]), sys.argv[3])
    else:
        problems = lint(sys.argv[2])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
