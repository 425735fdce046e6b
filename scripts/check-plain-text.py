#!/usr/bin/env python3
"""Checks that the user-interface folders never let Qt read text as rich text on its own.

Qt reads a label's, a tool tip's or a message box's text as HTML whenever its first line looks like
markup (Qt::AutoText), and a text document loads what an <img src> or a style sheet names from any
local path. Text from books, notes, servers and files reaches these widgets, so the interface
folders hold to one rule, which this script checks on every C++ file of them:

- a label is a PlainLabel (platform/ui/PlainLabel.h), never a QLabel made directly;
- no widget is set to Qt::AutoText, Qt::RichText or Qt::MarkdownText;
- a message box, progress dialog or input dialog is made as an object whose labels are set plain
  with PlainLabel::makePlain (the static QMessageBox and QInputDialog helpers are not used); a form
  row's label is program text (tr(...), a literal) or a PlainLabel;
- a tool tip (setToolTip, setTabToolTip, setItemToolTip, setWhatsThis, QToolTip::showText, an item's
  tool tip role) is a literal or goes through ContentTextDocument::plainToolTip; a model function
  that answers Qt::ToolTipRole calls plainToolTip;
- a text browser, text editor or text document shows rich text only through ContentTextDocument,
  which loads data: and qrc: resources alone, and a text browser does not follow links itself.

Files in RICH_TEXT_FILES show program-written rich text whose values are escaped; they are checked
for everything but the static message box.

Usage: check-plain-text.py [--root DIR]   (default: the checkout holding this script)
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_common import UI_FOLDERS as FOLDERS, run_check  # noqa: E402

# Where the plain forms themselves are made.
EXEMPT = {"platform/ui/PlainLabel.h", "platform/ui/PlainLabel.cpp", "platform/ui/ContentTextDocument.h",
          "platform/ui/ContentTextDocument.cpp"}

# Files that may use a static message box with program-written rich text (its values escaped).
RICH_TEXT_FILES = {"app/HelpCommands.cpp": "the About box"}

# Program text: a literal, or one of the program's constants (named kName) read as a string.
LITERAL = re.compile(r'^(?:(?:tr|QStringLiteral|QLatin1String|QString::fromLatin1|QString::fromUtf8)\s*\(\s*'
                     r'(?:(?:"[^"]*"\s*)+|k\w*(?:\[[^\]]*\])?(?:\.\w+)?\s*)\)|"[^"]*"|QString\s*\(\s*\)|\{\s*\})$')
PLAIN_CALL = re.compile(r'^(?:ContentTextDocument::)?plainToolTip\s*\(')
# A tool tip read back from a widget keeps the form it was set in.
COPIED_TIP = re.compile(r'^(?:[\w:.>-]+(?:->|\.))?(?:tabToolTip\s*\([^()]*\)|toolTip\s*\(\s*\))$')


def strip_code(text):
    """Comments and the contents of string and character literals become blanks; lines are kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if not m:
                out.append(c)
                i += 1
                continue
            end = text.find(")" + m.group(1) + '"', i)
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('"' + "".join(ch if ch == "\n" else " " for ch in text[i + 1:j - 1]) + '"')
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j, n - 1)
            out.append(c + " " * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def call_arguments(code, open_paren):
    """The top-level arguments of the call whose "(" is at open_paren, and the index after ")"."""
    depth, start, args = 0, open_paren + 1, []
    i = open_paren
    while i < len(code):
        c = code[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                args.append(code[start:i].strip())
                return args, i + 1
        elif c == "," and depth == 1:
            args.append(code[start:i].strip())
            start = i + 1
        i += 1
    return args, len(code)


def closes_at_end(expr):
    """Whether the expression is one call: its first "(" closes at its very end."""
    p = expr.find("(")
    if p < 0:
        return False
    _, after = call_arguments(expr, p)
    return after == len(expr)


def line_of(code, index):
    return code.count("\n", 0, index) + 1


def is_safe_tip(expr, code, depth=0):
    expr = " ".join(expr.split())
    if LITERAL.match(expr) or COPIED_TIP.match(expr):
        return True
    if PLAIN_CALL.match(expr) and closes_at_end(expr):
        return True
    m = re.fullmatch(r"[\w.>!-]+\s*\?(.*):(.*)", expr)
    if m and is_safe_tip(m.group(1).strip(), code, depth) and is_safe_tip(m.group(2).strip(), code, depth):
        return True
    if depth < 2 and re.fullmatch(r"\w+", expr):
        # A local that holds a safe form.
        m = re.search(r"\bQString\s+" + re.escape(expr) + r"\s*=\s*([^;]+);", code)
        if m:
            return is_safe_tip(m.group(1), code, depth + 1)
    return False


def enclosing_function(code, index):
    """The text of the top-level function around index: from the last line that starts a
    definition at the first column to the next closing brace at the first column."""
    start = code.rfind("\n}", 0, index)
    start = 0 if start < 0 else start + 2
    end = code.find("\n}", index)
    return code[start:len(code) if end < 0 else end]


def check_file(rel, text):
    faults = []
    code = strip_code(text)

    def fault(index, message):
        faults.append(f"{rel}:{line_of(code, index)}: {message}")

    for m in re.finditer(r"\bnew\s+QLabel\b|\bQLabel\s+\w+\s*[({;]|\bQLabel\s*\(", code):
        fault(m.start(), "a QLabel reads its text as rich text: make a PlainLabel")
    for m in re.finditer(r"\bsetTextFormat\s*\(\s*Qt::(AutoText|RichText|MarkdownText)\b", code):
        fault(m.start(), f"text set to Qt::{m.group(1)}: show text plain, or rich text through ContentTextDocument")
    for m in re.finditer(r"\bQMessageBox::(about|aboutQt|information|warning|critical|question)\s*\(", code):
        if rel not in RICH_TEXT_FILES:
            fault(m.start(), f"QMessageBox::{m.group(1)} reads its text as rich text: use the alerts")
    for m in re.finditer(r"\bQInputDialog::get\w+\s*\(", code):
        fault(m.start(), "QInputDialog's static prompts read their label as rich text: use PlainLabel::getText")
    dialogs = list(re.finditer(r"\b(?:new\s+(QMessageBox|QProgressDialog|QInputDialog)\b|"
                               r"(QMessageBox|QProgressDialog|QInputDialog)\s+\w+\s*[({;])", code))
    if dialogs and "PlainLabel::makePlain(" not in code:
        m = dialogs[0]
        fault(m.start(), f"{m.group(1) or m.group(2)} made without PlainLabel::makePlain on its labels")
    for m in re.finditer(r"\baddRow\s*\(", code):
        args, _ = call_arguments(code, m.end() - 1)
        if len(args) != 2:
            continue
        first = " ".join(args[0].split())
        if LITERAL.match(first) or first.startswith("new PlainLabel"):
            continue
        if re.fullmatch(r"\w+", first) and not re.search(r"\bQString\s*&?\s*" + first + r"\b", code):
            continue  # a widget or layout
        fault(m.start(), "a form row's label reads its text as rich text: give it program text or a PlainLabel")

    tip_calls = {"setToolTip": -1, "setTabToolTip": -1, "setItemToolTip": -1, "setWhatsThis": -1,
                 "showText": 1}
    for m in re.finditer(r"\b(setToolTip|setTabToolTip|setItemToolTip|setWhatsThis|QToolTip::showText)\s*\(",
                         code):
        name = m.group(1).split("::")[-1]
        args, _ = call_arguments(code, m.end() - 1)
        position = tip_calls[name]
        if len(args) <= max(position, 0) or (position == -1 and not args):
            continue
        if not is_safe_tip(args[position], code):
            fault(m.start(), f"{name} with text that is not a literal: pass it through "
                  "ContentTextDocument::plainToolTip")
    for m in re.finditer(r"\b(?:setData|setItemData)\s*\(", code):
        args, _ = call_arguments(code, m.end() - 1)
        if args and re.search(r"Qt::ToolTipRole\s*$", args[-1]) and len(args) >= 2:
            if not is_safe_tip(args[-2], code):
                fault(m.start(), "an item's tool tip that is not a literal: pass it through plainToolTip")
    for m in re.finditer(r"(?:\brole\s*[!=]=\s*Qt::ToolTipRole|Qt::ToolTipRole\s*[!=]=\s*role|"
                         r"\bcase\s+Qt::ToolTipRole\b)", code):
        function = enclosing_function(code, m.start())
        # Only a Qt model's answers are shown by a view as they are; the study pane's result lists
        # answer through StudyPaneResultListModel, which passes every tool tip through plainToolTip.
        if "QModelIndex" not in function.split("{")[0]:
            continue
        if "plainToolTip(" not in function:
            fault(m.start(), "answers Qt::ToolTipRole without ContentTextDocument::plainToolTip")

    texts = list(re.finditer(r"\b(?:new\s+(QTextBrowser|QTextEdit|QTextDocument)\b|"
                             r"(QTextDocument)\s+\w+\s*[({;]|public\s+(QTextBrowser|QTextEdit)\b)", code))
    for m in texts:
        kind = m.group(1) or m.group(2) or m.group(3)
        if kind == "QTextDocument" or "ContentTextDocument" not in code:
            fault(m.start(), f"a {kind} loads any file its HTML names: give it a ContentTextDocument")
        elif kind == "QTextBrowser" and not re.search(r"\bsetOpenLinks\s*\(\s*false\s*\)", code):
            fault(m.start(), "a QTextBrowser opens the file a clicked link names: setOpenLinks(false)")
    for m in re.finditer(r"\bQTextDocumentFragment::fromHtml\s*\(", code):
        args, _ = call_arguments(code, m.end() - 1)
        if len(args) < 2:
            fault(m.start(), "HTML read without a ContentTextDocument: use ContentTextDocument::plainText")
    return faults


def check(root):
    faults = []
    for folder in FOLDERS:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            rel = f"{folder}/{name}"
            if rel in EXEMPT:
                continue
            with open(os.path.join(path, name), encoding="utf-8", errors="replace") as f:
                faults.extend(check_file(rel, f.read()))
    return faults


def main(argv=None):
    return run_check(argv, "Checks that interface code shows text as plain text.", "plain-text check",
                     "text that Qt may read as rich text", check)


if __name__ == "__main__":
    sys.exit(main())
