#!/usr/bin/env python3
"""Fails when a name that CONTRIBUTING.md, README.md or a folder's README.md puts in backticks is not
in the tree: a path or file that does not exist, a class, function or constant that no source file
declares, a member that its class does not have, or a build option that no CMake file
spells. A document that names what is gone misleads the next reader more than one that names nothing.

    scripts/check-doc-names.py [ROOT] [--summary]

What a span is read as:
  - a path (holds "/", no blanks, no wildcard or placeholder): the file or folder must exist, from
    the root or from the document's own folder;
  - a source file's name (`GoToRouter.cpp`, `README.md`): some tracked file must have that name;
  - a chain of names (`Class::member`, `Class::Inner::member()`, `Hook::install(std::shared_ptr<Hook>)`):
    each name must be declared in the class, struct, namespace or enum before it: its declaring files
    (comments left out) spell the member, or some source spells `Class::member` whole. A chain whose
    first name the tree does not declare (Qt's, the standard library's) is outside the tree;
  - a name alone (`SourceTuple`, `kName`, `m_field`, `reader_test::choose(...)` without its class):
    some source file must spell it as a whole word;
  - a build option (`-DQS_WERROR=ON`): a CMake file must spell the option;
  - anything else is not checked: commands, options and code with blanks, files the program writes, query and prose examples, names with
    a placeholder (`<Class>`, `X`, `...`), lower-case words alone (as often prose or a command as a
    name). `--summary` counts what was checked and what was skipped, by reason.
Fenced code blocks are not checked.
"""
import collections
import pathlib
import re
import subprocess
import sys

SOURCE_SUFFIXES = {".cpp", ".h", ".txt", ".cmake", ".py", ".sh", ".js", ".css", ".html", ".qrc", ".in", ".json"}
DECLARING_SUFFIXES = {".h", ".cpp", ".js"}
IDENT = r"~?[A-Za-z_][A-Za-z0-9_]*"
# A name or a chain, optionally called with arguments: `A::b`, `A::b()`, `A::b(int x)`.
CALL = re.compile(rf"^({IDENT}(?:::{IDENT})*)(\(.*\))?$")
OPTION = re.compile(r"^-D([A-Z][A-Z0-9_]+)=")
SOURCE_FILE = re.compile(r"^[A-Za-z_][A-Za-z0-9_.-]*\.(h|cpp|py|sh|md|js|css|qrc)$|^CMakeLists\.txt$")
SPAN = re.compile(r"`([^`\n]+)`")
WORD = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
DECLARATION = re.compile(
    r"\b(?:class|struct|namespace|union|enum(?:\s+class)?)\s+(?:\[\[[^\]]*\]\]\s*)?([A-Za-z_]\w*(?:::\w+)*)\s*(?:final\s*)?[:{]")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)
# Words of prose or of other programs that a document may put in backticks as they are.
NOT_NAMES = {"true", "false", "null", "nullptr", "const", "static", "void", "int", "bool", "auto", "private"}
# Words of the naming scheme and of other projects that CONTRIBUTING quotes.
NOT_NAMES |= {"m_", "s_name", "lowerCamelCase", "PrivateMemberPrefix", "ProtectedMemberPrefix", "Env", "BIND_NOW"}
# Stand-ins a document writes for "any name": `Class::X`, `<Name>`, `...`.
PLACEHOLDER = re.compile(r"<[^>]*>|\.\.\.|\b[XYN]\b")
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


def read(f):
    try:
        return f.read_text(encoding="utf-8", errors="replace")
    except OSError:
        return ""


class Tree:
    """What the sources spell: every word, every `A::b` written whole, and for each class, struct,
    namespace or enum the words of the files that declare it (comments left out)."""

    def __init__(self, files):
        self.words = set()
        self.qualified = set()
        self.members = collections.defaultdict(set)
        self.cmake_words = set()
        self.file_names = {f.name for f in files}
        for f in files:
            if f.name == "CMakeLists.txt" or f.suffix == ".cmake":
                self.cmake_words.update(WORD.findall(read(f)))
            if f.suffix not in SOURCE_SUFFIXES and f.name != "CMakeLists.txt":
                continue
            text = read(f)
            self.words.update(WORD.findall(text))
            if f.suffix not in DECLARING_SUFFIXES:
                continue
            code = COMMENT.sub(" ", text)
            self.qualified.update(re.findall(r"\b\w+::~?\w+", code))
            declared = set()
            for nested in DECLARATION.findall(code):  # `namespace qs::cloud {` declares both
                parts = nested.split("::")
                declared.update(parts)
                self.qualified.update(f"{a}::{b}" for a, b in zip(parts, parts[1:]))
            if declared:
                code_words = set(WORD.findall(code))
                for name in declared:
                    self.members[name] |= code_words

    def has_member(self, owner, member):
        return f"{owner}::{member}" in self.qualified or member in self.members[owner]


def path_problem(span, doc, root):
    path = span.rstrip("/")
    if path.startswith("../") or path.startswith("/") or MADE_FOLDERS.match(path):
        return "skip", "outside the tree or made by the build"
    first = path.split("/")[0]
    if not (root / first).exists() and not (doc.parent / first).exists():
        return "skip", "prose with a slash"  # "cLString8/16", "x/y"
    for base in (root, doc.parent):
        if any((base / (path + suffix)).exists() for suffix in PATH_SUFFIXES):
            return "path", None
    return "path", "no such file or folder"


def name_problem(chain, tree):
    parts = [p.lstrip("~") for p in chain.split("::")]
    if len(parts) == 1:
        name = parts[0]
        if name in NOT_NAMES or (name.islower() and "_" not in name):
            return "skip", "a lower-case word alone"
        return "name", None if name in tree.words else "no source file spells " + name
    if parts[0] not in tree.members:
        return "skip", "a name outside the tree"
    for owner, member in zip(parts, parts[1:]):
        if not tree.has_member(owner, member):
            return "member", f"{owner} has no member {member}"
    return "member", None


def classify(span, doc, root, tree):
    """(kind, problem): kind is what the span was checked as, or "skip"; problem is None when the
    span is sound, or the reason why it is skipped when kind is "skip"."""
    option = OPTION.match(span)
    if option:
        return "option", None if option.group(1) in tree.cmake_words else "no CMake file defines the option"
    if "/" in span and " " not in span and not any(c in span for c in "*<>{}$?=(),:\"'"):
        return path_problem(span, doc, root)
    if SOURCE_FILE.match(span):
        return "file", None if span in tree.file_names else "no tracked file has this name"
    target = re.match(r"^(qs|bench|tests?)_([a-z0-9_]+?)(_[A-Za-z0-9]+(_bench|_test)?)?$", span)
    if target:
        # A CMake target named after its folder (qs_cloud) or its folder and file
        # (bench_engine_Memory_bench): the folder must exist.
        folder = target.group(2).replace("_", "/")
        prefix = "" if target.group(1) == "qs" else target.group(1) + "/"
        if any((root / (p + folder)).is_dir() for p in ("", prefix, "tests/", "bench/")):
            return "path", None
    if re.match(r"^(lib[a-z0-9_]+|_[a-z0-9_]+)$", span):
        return "skip", "a system library's name"  # "libflite_cmu_us_rms" or a fragment of one ("_slt")
    if PLACEHOLDER.search(span):
        return "skip", "a placeholder stands in it"
    call = CALL.match(span)
    if call:
        return name_problem(call.group(1), tree)
    return "skip", "a command, code or an example"



def check(root, summary=None):
    files = tracked_files(root)
    tree = Tree(files)
    failures = []
    for doc in documents(files, root):
        for number, span in spans(doc.read_text(encoding="utf-8")):
            kind, why = classify(span, doc, root, tree)
            if summary is not None:
                summary[(kind, why if kind == "skip" else None)] += 1
            if why and kind != "skip":
                failures.append(f"{doc.relative_to(root)}:{number}: `{span}`: {why}")
    return failures


def spans(text):
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            for span in SPAN.findall(line):
                yield number, span.strip()


def print_summary(summary):
    total = sum(summary.values())
    checked = sum(n for (kind, _), n in summary.items() if kind != "skip")
    print(f"{total} spans, {checked} checked:")
    for (kind, why), n in sorted(summary.items(), key=lambda item: (item[0][0] == "skip", -item[1])):
        print(f"  {n:5}  {'skipped: ' + why if kind == 'skip' else 'checked as ' + kind}")


def main():
    args = [a for a in sys.argv[1:] if a != "--summary"]
    root = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parent.parent)
    summary = collections.Counter() if "--summary" in sys.argv else None
    failures = check(root, summary)
    for f in failures:
        print(f)
    if summary is not None:
        print_summary(summary)
    if failures:
        print(f"check-doc-names: {len(failures)} name(s) in the documents are not in the tree", file=sys.stderr)
        return 1
    print("check-doc-names: every name in backticks is in the tree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
