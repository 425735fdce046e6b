#!/usr/bin/env python3
"""Fails when a name that CONTRIBUTING.md, README.md or a folder's README.md puts in backticks is not
in the tree: a path that does not exist, or a class, function, constant or build option that no
source file spells. A document that names what is gone misleads the next reader more than one that
names nothing.

    scripts/check-doc-names.py [ROOT]

What a span is read as:
  - a path (holds "/", no blanks, no wildcard or placeholder): the file or folder must exist, from
    the root or from the document's own folder;
  - a name or a chain of names (`Class`, `Class::function()`, `kName`, `m_field`): every part must
    be a whole word of some source file;
  - a build option (`-DQS_WERROR=ON`): the option must be spelled in a CMake file;
  - anything else (commands, code, prose in backticks) is not checked.
Fenced code blocks are not checked.
"""
import pathlib
import re
import subprocess
import sys

SOURCE_SUFFIXES = {".cpp", ".h", ".txt", ".cmake", ".py", ".sh", ".js", ".css", ".html", ".qrc", ".in", ".json"}
NAME = re.compile(r"^~?[A-Za-z_][A-Za-z0-9_]*(::~?[A-Za-z_][A-Za-z0-9_]*)*(\(\))?$")
OPTION = re.compile(r"^-D([A-Z][A-Z0-9_]+)=")
SPAN = re.compile(r"`([^`\n]+)`")
WORD = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
# Words of prose or of other programs that a document may put in backticks as they are.
NOT_NAMES = {"true", "false", "null", "nullptr", "const", "static", "void", "int", "bool", "auto", "private"}
# Words of the naming scheme and of other projects that CONTRIBUTING quotes.
NOT_NAMES |= {"m_", "s_name", "lowerCamelCase", "PrivateMemberPrefix", "ProtectedMemberPrefix", "Env", "BIND_NOW"}
# Build folders and the user's own folders are made by the build or the program, not tracked.
MADE_FOLDERS = re.compile(r"^(build[^/]*|~)(/|$)")
PATH_SUFFIXES = ("", ".h", ".cpp", ".py", ".sh", ".md")


def tracked_files(root):
    out = subprocess.run(["git", "ls-files"], cwd=root, capture_output=True, text=True, check=True).stdout
    return [root / line for line in out.splitlines() if line]


def documents(files, root):
    docs = [root / "CONTRIBUTING.md", root / "README.md"]
    docs += sorted(f for f in files if f.name == "README.md" and f.parent != root)
    return [d for d in docs if d.is_file()]


def source_words(files):
    words = set()
    for f in files:
        if f.suffix not in SOURCE_SUFFIXES and f.name != "CMakeLists.txt":
            continue
        try:
            words.update(WORD.findall(f.read_text(encoding="utf-8", errors="replace")))
        except OSError:
            continue
    return words


def spans(text):
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            for span in SPAN.findall(line):
                yield number, span.strip()


def problem(span, doc, root, words, cmake_words):
    option = OPTION.match(span)
    if option:
        return None if option.group(1) in cmake_words else "no CMake file defines the option"
    if "/" in span and " " not in span and not any(c in span for c in "*<>{}$?=(),:\"'"):
        path = span.rstrip("/")
        if path.startswith("../") or path.startswith("/") or MADE_FOLDERS.match(path):
            return None
        first = path.split("/")[0]
        if not (root / first).exists() and not (doc.parent / first).exists():
            return None  # not a path of the tree: "cLString8/16", "x/y" in prose
        for base in (root, doc.parent):
            if any((base / (path + suffix)).exists() for suffix in PATH_SUFFIXES):
                return None
        return "no such file or folder"
    target = re.match(r"^(qs|bench|tests?)_([a-z0-9_]+?)(_[A-Za-z0-9]+(_bench|_test)?)?$", span)
    if target:
        # A CMake target named after its folder (qs_cloud) or its folder and file
        # (bench_engine_Memory_bench): the folder must exist.
        folder = target.group(2).replace("_", "/")
        prefix = "" if target.group(1) == "qs" else target.group(1) + "/"
        if any((root / (p + folder)).is_dir() for p in ("", prefix, "tests/", "bench/")):
            return None
    if re.match(r"^(lib[a-z0-9_]+|_[a-z0-9_]+)$", span):
        return None  # a system library's name ("libflite_cmu_us_rms") or a fragment of one ("_slt")
    if NAME.match(span):
        parts = [p.lstrip("~") for p in span.rstrip("()").split("::")]
        if len(parts) == 1 and (parts[0] in NOT_NAMES or parts[0].islower() and "_" not in parts[0]):
            # A lower-case word alone is as often a word of prose or a command as a name.
            return None
        missing = [p for p in parts if p not in words]
        return None if not missing else "no source file spells " + ", ".join(missing)
    return None


def check(root):
    files = tracked_files(root)
    words = source_words(files)
    cmake_words = set()
    for f in files:
        if f.name == "CMakeLists.txt" or f.suffix == ".cmake":
            cmake_words.update(WORD.findall(f.read_text(encoding="utf-8", errors="replace")))
    failures = []
    for doc in documents(files, root):
        for number, span in spans(doc.read_text(encoding="utf-8")):
            why = problem(span, doc, root, words, cmake_words)
            if why:
                failures.append(f"{doc.relative_to(root)}:{number}: `{span}`: {why}")
    return failures


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    failures = check(root)
    for f in failures:
        print(f)
    if failures:
        print(f"check-doc-names: {len(failures)} name(s) in the documents are not in the tree", file=sys.stderr)
        return 1
    print("check-doc-names: every name in backticks is in the tree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
