#!/usr/bin/env python3
"""Fails when a file outside the user-interface folders includes a QtWidgets or
QtWebEngine header, or links a widget or web-engine library.

Only panes/, studypane/, app/, cloud/ui/, reports/ui/ and platform/ui/ may draw.
The header names come from the installed Qt, so class-style includes such as
<QWidget> are caught as well as <QtWidgets/QWidget>."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ALLOWED = ("panes/", "studypane/", "app/", "cloud/ui/", "reports/ui/", "platform/ui/")
SKIP = ("build", ".git", "third_party")
MODULES = ("QtWidgets", "QtWebEngineWidgets", "QtWebEngineCore", "QtWebEngineQuick", "QtWebEngine")
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".c", ".mm")


def forbidden_headers():
    names = set(MODULES)
    for base in glob.glob("/usr/include/*/qt6") + glob.glob("/usr/include/qt6"):
        for module in MODULES:
            folder = os.path.join(base, module)
            if os.path.isdir(folder):
                for entry in os.listdir(folder):
                    if not entry.endswith(".h") and not entry.startswith("."):
                        names.add(entry)
    return names


def allowed(rel):
    return rel.startswith(ALLOWED) or (rel.startswith("tests/") and rel[6:].startswith(ALLOWED))


def main():
    names = forbidden_headers()
    include = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
    link = re.compile(r'Qt6?::(Widgets|WebEngine\w*)')
    faults = []
    for dirpath, dirnames, filenames in os.walk(ROOT):
        rel_dir = os.path.relpath(dirpath, ROOT)
        dirnames[:] = [d for d in dirnames if not (rel_dir == "." and (d in SKIP or d.startswith("build")))]
        for name in filenames:
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, ROOT).replace(os.sep, "/")
            if allowed(rel):
                continue
            is_source = name.endswith(SOURCE_EXT)
            is_cmake = name == "CMakeLists.txt" or name.endswith(".cmake")
            if not (is_source or is_cmake):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    if is_source:
                        m = include.match(line)
                        if m:
                            header = m.group(1)
                            first = header.split("/")[0]
                            if first in MODULES or (("/" not in header) and header in names):
                                faults.append(f"{rel}:{number}: includes <{header}>")
                    elif rel != "scripts/check-layers.py" and link.search(line):
                        faults.append(f"{rel}:{number}: links {link.search(line).group(0)}")
    if faults:
        print("layer check: widget or web-engine code outside the user-interface folders:")
        print("\n".join(faults))
        return 1
    print("layer check: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
