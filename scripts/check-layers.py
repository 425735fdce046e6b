#!/usr/bin/env python3
"""The layer check: fails when a source file includes, or a folder's CMakeLists.txt links, anything
that the layer table below does not allow.

The layers, lowest first (a folder includes only from its own layer's earlier folders and from the
layers below; each folder's entry lists which folders of its own layer it may use):

  1. search/core, platform, platform/ui
  2. engine/foundation, engine/references, engine/bookfile, engine/docbase, engine/scramble
  3. userdata, render
  4. documents
  5. library
  6. search/execution
  7. panes/environment, panes/layout, panes/page, panes/bookpane, panes/layoutview, panes
  8. studypane/notes, studypane, cloud, cloud/store, cloud/store/ui, cloud/ui, reports, reports/ui
  9. app

tools/ (tools/standin-services included), tests/, bench/ and fuzz/ may include anything.

A file belongs to the longest folder of the table that holds it (panes/layout/x.h is in panes/layout,
panes/other/x.h in panes, engine/foundation/generated/x.h in engine/foundation). A code folder that the
table does not know fails the check: add it to LAYERS first.

Checked:
- every quoted include with a folder ("engine/foundation/cLStringTmpl.h") of every .h/.cpp/.c/.mm
  file: the included file's folder must be the file's own folder or one it may use;
- only the user-interface folders (UI_FOLDERS) and their tests include QtWidgets or QtWebEngine
  headers or link their libraries, and no other folder includes a header of a user-interface folder. The header names come
  from the installed Qt, so class-style includes such as <QWidget> are caught as well as
  <QtWidgets/QWidget>;
- every qs_* library that a folder's CMakeLists.txt links belongs to a folder that the folder may use,
  and every folder that a library's sources include is reachable through its links (so the include
  table and the CMake link graph say the same);
- no file of the interface folders (INTERFACE_TOPS) calls a process-wide accessor (PROCESS_WIDE)
  outside the code that brings the program up (PROCESS_WIDE_USERS): the interface is handed its
  centre, settings, alerts, library, sync engine and user documents (panes/environment).

Usage: check-layers.py [--root DIR]   (default: the checkout holding this script)
"""
import glob
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_common import UI_FOLDERS, run_check  # noqa: E402

# (folder, folders of the same layer it may use); layers lowest first.
LAYERS = [
    [("search/core", []), ("platform", []), ("platform/ui", ["platform"])],
    [
        ("engine/foundation", []),
        ("engine/references", ["engine/foundation"]),
        ("engine/bookfile", ["engine/foundation", "engine/references"]),
        ("engine/docbase", ["engine/foundation", "engine/references", "engine/bookfile"]),
        ("engine/scramble", ["engine/foundation"]),
    ],
    [("userdata", []), ("render", [])],
    [("documents", [])],
    [("library", [])],
    [("search/execution", [])],
    [
        ("panes/environment", []),
        ("panes/layout", []),
        ("panes/page", ["panes/layout"]),
        ("panes/bookpane", ["panes/environment", "panes/layout", "panes/page"]),
        ("panes/layoutview", ["panes/environment", "panes/layout", "panes/page", "panes/bookpane"]),
        ("panes", ["panes/environment", "panes/layout", "panes/page", "panes/bookpane", "panes/layoutview"]),
    ],
    [
        ("studypane/notes", []),
        ("studypane", ["studypane/notes"]),
        ("cloud", []),
        ("cloud/store", ["cloud"]),
        ("cloud/store/ui", ["cloud", "cloud/store"]),
        ("cloud/ui", ["cloud", "cloud/store"]),
        ("reports", []),
        ("reports/ui", ["reports"]),
        ("reports/ui/web", ["reports", "reports/ui"]),
    ],
    [("app/preferences", []), ("app", ["app/preferences"])],
]

# Folders whose code may include and link anything.
UNRESTRICTED = ("tools", "tools/standin-services", "tests", "bench", "fuzz")

# The interface folders, the process-wide accessors of the layers below them, and the only files of
# those folders that may call them (where the program makes its services and hands them down, and the
# engine's own definition).
INTERFACE_TOPS = ("app", "panes", "studypane", "cloud", "reports")
PROCESS_WIDE = re.compile(
    r"\b(NotificationCenter::defaultCenter|UserDefaults::standardUserDefaults|SourceManager::singleton"
    r"|SyncManager::instance|Alerts::shared|noteDocInstance|verseHighlightDocInstance)\s*\("
)
PROCESS_WIDE_USERS = ("app/ProgramParts.cpp", "app/main.cpp", "cloud/sync/SyncManager.cpp")

# Top folders that hold no code of ours (or only generated output) and are not walked.
SKIP_TOP = ("build", ".git", "third_party", "resources", "scripts", "cmake", "docs")

MODULES = ("QtWidgets", "QtWebEngineWidgets", "QtWebEngineCore", "QtWebEngineQuick", "QtWebEngine")
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".c", ".mm")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
WIDGET_LINK = re.compile(r"Qt6?::(Widgets|WebEngine\w*)")


def allowed_table():
    """folder -> set of folders it may include (itself included)."""
    table = {}
    below = []
    for layer in LAYERS:
        for folder, same_layer in layer:
            table[folder] = set(below) | set(same_layer) | {folder}
        below.extend(folder for folder, _ in layer)
    return table


TABLE = allowed_table()
KNOWN = sorted(list(TABLE) + list(UNRESTRICTED), key=len, reverse=True)


def folder_of(rel):
    """The table folder holding the path rel (a file or folder), or None."""
    for folder in KNOWN:
        if rel == folder or rel.startswith(folder + "/"):
            return folder
    return None


# The support shared by the tests of the running reader and of live web views draws as those tests do.
DRAWING_TEST_SUPPORT = "tests/support"


def is_ui(folder):
    return folder in UI_FOLDERS or folder == DRAWING_TEST_SUPPORT


# Fuzz targets that use the widgets of a user-interface folder, and that folder.
DRAWING_FUZZ_TARGETS = {"layout_archive_fuzzer.cpp": "panes/layoutview"}


def drawing_folder(rel, src):
    """The folder whose widget rule holds for rel: a test or a benchmark follows the folder it
    measures (tests/panes/bookpane/x_test.cpp and bench/panes/x_bench.cpp draw as their folders do)."""
    if rel.startswith(DRAWING_TEST_SUPPORT + "/"):
        return DRAWING_TEST_SUPPORT
    if src in ("tests", "bench"):
        return folder_of(rel[len(src) + 1 :]) or src
    if src == "fuzz" and os.path.basename(rel) in DRAWING_FUZZ_TARGETS:
        return DRAWING_FUZZ_TARGETS[os.path.basename(rel)]
    return src


def may_include(src, dst):
    if src in UNRESTRICTED:
        return True
    if dst in UNRESTRICTED:
        return False
    if is_ui(dst) and not is_ui(src):
        return False
    return dst in TABLE.get(src, set())


def widget_headers():
    names = set(MODULES)
    for base in glob.glob("/usr/include/*/qt6") + glob.glob("/usr/include/qt6"):
        for module in MODULES:
            folder = os.path.join(base, module)
            if os.path.isdir(folder):
                for entry in os.listdir(folder):
                    if not entry.endswith(".h") and not entry.startswith("."):
                        names.add(entry)
    return names


def walk(root):
    """Yields (relative path, file name) of every file outside SKIP_TOP and build folders."""
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root).replace(os.sep, "/")
        if rel_dir == ".":
            dirnames[:] = [d for d in dirnames if d not in SKIP_TOP and not d.startswith(("build", "."))]
            rel_dir = ""
        for name in filenames:
            yield (f"{rel_dir}/{name}" if rel_dir else name), name


def strip_comments(text):
    return re.sub(r"#[^\n]*", "", text)


def cmake_calls(text, command):
    """The argument lists of every call of command in a CMake text (comments removed)."""
    calls = []
    for m in re.finditer(r"\b%s\s*\(" % re.escape(command), text):
        depth, i = 1, m.end()
        while i < len(text) and depth:
            depth += {"(": 1, ")": -1}.get(text[i], 0)
            i += 1
        calls.append(text[m.end() : i - 1].split())
    return calls


class LinkGraph:
    """The qs_* libraries of the tree: which folder defines each, and what each links."""

    def __init__(self, root):
        self.folder_of_target = {}  # target -> folder (relative path of its CMakeLists.txt's folder)
        self.links = {}  # target -> qs_* targets it links
        self.target_of_dir = {}  # folder -> targets its CMakeLists.txt defines
        for rel, name in walk(root):
            if name != "CMakeLists.txt":
                continue
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                text = strip_comments(f.read())
            directory = os.path.dirname(rel)
            for args in cmake_calls(text, "qs_add_library") + cmake_calls(text, "add_library"):
                if args and args[0].startswith("qs_"):
                    self.folder_of_target[args[0]] = directory
                    self.target_of_dir.setdefault(directory, []).append(args[0])
                    deps = [a for a in args[1:] if a.startswith("qs_")]
                    self.links.setdefault(args[0], set()).update(deps)
            for args in cmake_calls(text, "target_link_libraries"):
                if args and args[0] in self.folder_of_target:
                    self.links[args[0]].update(a for a in args[1:] if a.startswith("qs_"))

    def target_for(self, rel_dir):
        """The library whose sources include files of rel_dir: the nearest CMakeLists.txt above."""
        d = rel_dir
        while True:
            if d in self.target_of_dir:
                return self.target_of_dir[d]
            d = os.path.dirname(d)
            if not d:
                return []

    def reachable_folders(self, target):
        seen, todo = set(), [target]
        while todo:
            t = todo.pop()
            if t in seen:
                continue
            seen.add(t)
            todo.extend(self.links.get(t, ()))
        return {folder_of(self.folder_of_target[t]) for t in seen if t in self.folder_of_target}


def check(root, widget_names):
    faults = []
    graph = LinkGraph(root)
    for rel, name in walk(root):
        is_source = name.endswith(SOURCE_EXT)
        is_cmake = name == "CMakeLists.txt" or name.endswith(".cmake")
        if not (is_source or is_cmake) or "/" not in rel:
            continue
        src = folder_of(rel)
        if src is None and is_cmake and any(k.startswith(os.path.dirname(rel) + "/") for k in KNOWN):
            continue  # a folder that only groups table folders (engine/, search/, cloud/)
        if src is None:
            faults.append(f"{rel}: folder {os.path.dirname(rel)} is not in the layer table")
            continue
        path = os.path.join(root, rel)
        if is_cmake:
            if src in UNRESTRICTED:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for number, line in enumerate(text.splitlines(), 1):
                m = WIDGET_LINK.search(line.split("#")[0])
                if m and not is_ui(src):
                    faults.append(f"{rel}:{number}: links {m.group(0)} outside the user-interface folders")
            for target in graph.target_of_dir.get(os.path.dirname(rel), []):
                for dep in sorted(graph.links.get(target, ())):
                    dst = folder_of(graph.folder_of_target.get(dep, ""))
                    if dst is None:
                        continue  # a library of the top CMakeLists.txt (a system library's wrapper)
                    if not may_include(src, dst):
                        faults.append(f"{rel}: {target} links {dep} ({dst}), which {src} may not use")
            continue
        reachable = None
        if src not in UNRESTRICTED:
            targets = graph.target_for(os.path.dirname(rel))
            if targets:
                reachable = set().union(*(graph.reachable_folders(t) for t in targets))
        reaches_process_wide = rel.split("/")[0] in INTERFACE_TOPS and rel not in PROCESS_WIDE_USERS
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                if reaches_process_wide:
                    call = PROCESS_WIDE.search(line.split("//")[0])
                    if call:
                        faults.append(f"{rel}:{number}: calls {call.group(1)}(), a process-wide accessor")
                m = INCLUDE.match(line)
                if not m:
                    continue
                quote, header = m.group(1), m.group(2)
                first = header.split("/")[0]
                if first in MODULES or (quote == "<" and "/" not in header and header in widget_names):
                    if not is_ui(drawing_folder(rel, src)):
                        faults.append(f"{rel}:{number}: includes <{header}> outside the user-interface folders")
                    continue
                if quote != '"' or "/" not in header:
                    continue
                dst = folder_of(os.path.dirname(header))
                if dst is None:
                    if first in TABLE or any(k.split("/")[0] == first for k in TABLE):
                        faults.append(f'{rel}:{number}: includes "{header}" from a folder not in the layer table')
                    continue
                if not may_include(src, dst):
                    faults.append(f'{rel}:{number}: includes "{header}" ({dst}), which {src} may not use')
                elif reachable is not None and dst not in reachable:
                    faults.append(
                        f'{rel}:{number}: includes "{header}" ({dst}), but its library does not link {dst}'
                    )
    return faults


def main(argv=None):
    return run_check(argv, "Checks the layer table on a source tree.", "layer check",
                     "includes or links against the layer table", lambda root: check(root, widget_headers()))


if __name__ == "__main__":
    sys.exit(main())
