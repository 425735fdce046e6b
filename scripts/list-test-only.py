#!/usr/bin/env python3
"""Lists the functions the reader declares but only its tests call.

Usage: python3 scripts/list-test-only.py [--keep scripts/test-only-keep.txt] [--all] [--root DIR] [FOLDER...]

A function counts when it is declared in a header of a folder that builds into the reader (below),
its name occurs in tests/, bench/ or fuzz/, and nowhere in the reader's sources, the tools or the page
scripts besides its declarations and out-of-line definitions. Overrides and destructors are left out.
The scan works on names, not on types: a name that any other class of the program also uses is not
listed, so the list is a lower bound. Names in the keep file (one a line, `name  reason`) are the
program's API and are not listed unless --all is given. FOLDER limits the list to headers under it.
Prints `name<TAB>headers` lines and then the count; exits 0.
"""
import argparse
import collections
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The folders whose libraries link into the reader.
PROGRAM = ("app/", "cloud/", "documents/", "engine/", "library/", "panes/", "platform/", "render/", "reports/",
           "search/", "studypane/", "userdata/")
# Code that uses the reader's functions as a program does: the other programs and the page scripts.
OTHER_USERS = ("tools/", "resources/")
TESTS = ("tests/", "bench/", "fuzz/")
SOURCE_EXT = (".h", ".cpp", ".js")

WORD = re.compile(r"[A-Za-z_]\w*")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)
STRING = re.compile(r'"(?:\\.|[^"\\\n])*"')
DECL = re.compile(
    r"^\s*(?:(?:virtual|static|explicit|inline|constexpr|friend|\[\[nodiscard\]\])\s+)*"
    r"(?:[\w:<>,\*&]+\s+)+[\*&]*(~?\w+)\s*\((?!\*)[^;{]*\)\s*(?:const)?\s*(?:noexcept)?\s*"
    r"(override|final)?\s*(?:=\s*0)?\s*[;{]",
    re.M,
)
# `Class::name(` at the start of a line, after at most a return type: a definition when its
# parameter list is followed by a body, an initializer list or a qualifier, otherwise a call.
QUALIFIED = re.compile(r"^[ \t]*(?:(?!return\b)[\w:<>,\*&]+\s+)*[\*&]*\w+::(~?\w+)\s*\(", re.M)
NOT_FUNCTIONS = {"if", "for", "while", "switch", "return", "sizeof", "operator", "Q_OBJECT", "emit", "signals", "main"}


def tracked_files():
    out = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True, check=True).stdout
    return [f for f in out.split() if f.endswith(SOURCE_EXT)]


def read(path, keep_strings):
    with open(os.path.join(ROOT, path), errors="replace") as f:
        text = COMMENT.sub(" ", f.read())
    # The program may name a slot or property in a string (invokeMethod, a page script's bridge):
    # its strings count as uses. A test's strings do not.
    return text if keep_strings else STRING.sub('""', text)


DEFINITION_TAIL = re.compile(r"\s*(?:\{|const\b|noexcept\b|->|:(?!:)|&|try\b)")


def out_of_line_definitions(code):
    for m in QUALIFIED.finditer(code):
        depth, i = 1, m.end()
        while i < len(code) and depth:
            depth += {"(": 1, ")": -1}.get(code[i], 0)
            i += 1
        if DEFINITION_TAIL.match(code, i):
            yield m.group(1)


def load_keep(path):
    keep = {}
    if not path:
        return keep
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                name, _, reason = line.partition(" ")
                keep[name] = reason.strip()
    return keep


def scan():
    files = tracked_files()
    program_uses = collections.Counter()
    definitions = collections.Counter()
    test_uses = collections.Counter()
    declared = collections.defaultdict(list)
    for path in files:
        if path.startswith(PROGRAM):
            code = read(path, keep_strings=True)
            program_uses.update(WORD.findall(code))
            definitions.update(out_of_line_definitions(code))
            if path.endswith(".h"):
                for m in DECL.finditer(code):
                    name = m.group(1)
                    if m.group(2) or name in NOT_FUNCTIONS or name.startswith(("~", "operator")):
                        continue
                    declared[name].append(path)
        elif path.startswith(OTHER_USERS):
            program_uses.update(WORD.findall(read(path, keep_strings=True)))
        elif path.startswith(TESTS):
            test_uses.update(WORD.findall(read(path, keep_strings=False)))
    found = {}
    for name, headers in declared.items():
        uses = program_uses[name] - len(headers) - definitions[name]
        if uses <= 0 and test_uses[name] > 0:
            found[name] = sorted(set(headers))
    return found


def main():
    parser = argparse.ArgumentParser(description="Functions of the reader that only tests call.")
    parser.add_argument("--keep", help="file of names kept as the program's API, one a line with a reason")
    parser.add_argument("--all", action="store_true", help="list the kept names too, with their reason")
    parser.add_argument("--root", help="the checkout to scan (default: the one holding this script)")
    parser.add_argument("folders", nargs="*", help="list only names declared under these folders")
    args = parser.parse_args()
    if args.root:
        global ROOT
        ROOT = os.path.abspath(args.root)
    keep = load_keep(args.keep)
    found = scan()
    rows = []
    for name, headers in sorted(found.items(), key=lambda item: (item[1], item[0])):
        if args.folders and not any(h.startswith(tuple(f.rstrip("/") + "/" for f in args.folders)) for h in headers):
            continue
        if name in keep and not args.all:
            continue
        reason = f"\tkept: {keep[name]}" if name in keep else ""
        rows.append(f"{name}\t{' '.join(headers)}{reason}")
    print("\n".join(rows))
    print(f"{len(rows)} functions", file=sys.stdout)
    stale = sorted(set(keep) - set(found))
    if stale:
        print(f"keep file names no longer found: {' '.join(stale)}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
