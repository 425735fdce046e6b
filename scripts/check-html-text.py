#!/usr/bin/env python3
"""Checks that the interface folders escape text before it goes into HTML the reader builds.

A book's name, abbreviation and description, a note, a search word and a server's reply are text,
not markup: written into a page, a report or a saved file unescaped, an "<iframe>" in a book's name
is drawn as a frame. The interface folders build HTML with QString::arg and with "+", so this script
holds them to one rule on every C++ file:

- in a statement whose string literals hold an HTML tag, every argument of a .arg(...) call and
  every operand joined by "+" to such a literal is escaped text (toHtmlEscaped() or one of the
  program's escape functions: escapePageText, escapeAttribute, escapeHref, ...; inertHtml for a
  book's or a note's own HTML), a literal, a
  number (QString::number, a numeric literal) or a choice between such values;
- anything else carries a marker comment on the statement or on the line before it,
  "// html-safe: <why>", that says why the value is safe (HTML the program built and escaped
  already, a number, a style sheet of the program's own).

The check reads source text, not types: a marker stands where only a reader of the code can tell.

Usage: check-html-text.py [--root DIR]   (default: the checkout holding this script)
"""
import argparse
import os
import re
import sys

FOLDERS = ("app", "panes", "studypane", "cloud", "reports", "library")

MARKER = re.compile(r"html-safe:\s*\S")
# A string literal that opens or closes an element, or a comment or doctype.
TAG = re.compile(r"<\s*/?\s*[A-Za-z!]")
# Calls whose result is escaped text. Names that undo escaping (unescape..., decode...) are not.
# inertHtml filters a book's or a note's own HTML down to what cannot run or load anything.
ESCAPE_CALL = re.compile(r"(?<![A-Za-z_])(?:toHtmlEscaped|inertHtml|(?:[A-Za-z_][A-Za-z0-9_]*::)*"
                         r"(?:escape[A-Za-z0-9_]*|[A-Za-z0-9_]*Escaped[A-Za-z0-9_]*))\s*\(")
LITERAL_CALL = re.compile(r"^(?:tr|QStringLiteral|QLatin1String|QLatin1StringView|QLatin1Char|QChar|"
                          r"QString::fromLatin1|QString::fromUtf8|QCoreApplication::translate)\s*\(\s*"
                          r"(?:\"(?:[^\"\\]|\\.)*\"\s*)*(?:,\s*\"(?:[^\"\\]|\\.)*\"\s*)*"
                          r"(?:'(?:[^'\\]|\\.)+'\s*)?\)$")
NUMBER = re.compile(r"^(?:[-+]?(?:0x[0-9a-fA-F]+|\d+(?:\.\d*)?(?:[eE][-+]?\d+)?)[uUlLfF]*|'(?:[^'\\]|\\.)+'|"
                    r"true|false|nullptr)$")
NUMBER_CALL = re.compile(r"^(?:QString::number|QLocale\(\)\.toString|std::to_string|int|qint64|quint64|double|"
                         r"static_cast<(?:int|qint64|quint64|double|unsigned)>)\s*\(")
EMPTY = re.compile(r"^(?:QString\s*\(\s*\)|\{\s*\})$")


def string_end(text, i):
    """The index of the quote that closes the string or character literal opening at text[i]."""
    j = i + 1
    while j < len(text) and text[j] != text[i]:
        j += 2 if text[j] == "\\" else 1
    return j


def pieces(text):
    """Walks the text: yields (index, piece, literal), a piece being one character, or a whole string
    or character literal (literal True), quotes included."""
    i = 0
    n = len(text)
    while i < n:
        if text[i] == '"' or text[i] == "'":
            j = string_end(text, i)
            yield i, text[i:j + 1], True
            i = j + 1
        else:
            yield i, text[i], False
            i += 1


def strip_source(text):
    """Replaces comments by spaces (markers kept aside by line) and keeps strings; returns the
    code and the set of line numbers (0-based) that hold a marker comment."""
    out = []
    markers = set()
    i = 0
    line = 0
    n = len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            out.append(c)
            i += 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            if MARKER.search(text[i:j]):
                markers.add(line)
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            body = text[i:j]
            if MARKER.search(body):
                markers.add(line)
            out.append("".join(ch if ch == "\n" else " " for ch in body))
            line += body.count("\n")
            i = j
        elif c == '"' or c == "'":
            # A raw string literal R"(...)" is taken whole.
            if c == '"' and i > 0 and text[i - 1] == "R":
                close = text.find('"', i + 1)
                delim = text[i + 1:text.find("(", i)]
                end = text.find(")" + delim + '"', i)
                j = n if end < 0 else end + len(delim) + 2
            else:
                j = i + 1
                while j < n and text[j] != c:
                    j += 2 if text[j] == "\\" else 1
                j = min(j + 1, n)
            body = text[i:j]
            out.append(body)
            line += body.count("\n")
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out), markers


def statements(code):
    """Yields (first line, last line, text) of each statement: text up to ";", "{" or "}" outside
    parentheses, strings and brackets."""
    depth = 0
    start = 0
    line = 0
    first = None
    for i, c, literal in pieces(code):
        if literal:
            line += c.count("\n")
            if first is None:
                first = line
            continue
        if c == "\n":
            line += 1
        elif not c.isspace() and first is None:
            first = line
        if c in "([":
            depth += 1
        elif c in ")]":
            depth = max(0, depth - 1)
        elif c in ";{}" and depth == 0:
            if first is not None:
                yield first, line, code[start:i + 1]
            start = i + 1
            first = None


def split_top(text, seps):
    """Splits at the separators (single characters) outside parentheses, brackets, braces and
    strings. '+' is not split where it is part of "++" or "+="."""
    parts = []
    depth = 0
    cur = []
    for i, c, literal in pieces(text):
        if not literal:
            if c in "([{":
                depth += 1
            elif c in ")]}":
                depth -= 1
            split = depth == 0 and c in seps
            if split and c == "+" and (text[i + 1:i + 2] in ("+", "=") or text[i - 1:i] == "+"):
                split = False
            if split:
                parts.append("".join(cur))
                cur = []
                continue
        cur.append(c)
    parts.append("".join(cur))
    return parts


def groups(text):
    """Every parenthesized group of the text: (text before the "(", contents)."""
    stack = []
    found = []
    for i, c, literal in pieces(text):
        if literal:
            continue
        if c == "(":
            stack.append(i)
        elif c == ")" and stack:
            open_at = stack.pop()
            found.append((text[:open_at], text[open_at + 1:i]))
    return found


def has_html(text):
    return any(TAG.search(s) for s in re.findall(r'"((?:[^"\\]|\\.)*)"', text))


def strip_parens(expr):
    expr = expr.strip()
    while expr.startswith("(") and expr.endswith(")"):
        inner = expr[1:-1]
        depth = 0
        ok = True
        for c in inner:
            depth += c == "("
            depth -= c == ")"
            if depth < 0:
                ok = False
                break
        if not ok:
            break
        expr = inner.strip()
    return expr


def is_safe(expr):
    expr = strip_parens(expr)
    if not expr:
        return True
    if ESCAPE_CALL.search(expr):
        return True
    if re.fullmatch(r'(?:"(?:[^"\\]|\\.)*"\s*)+', expr) or LITERAL_CALL.match(expr):
        return True
    if NUMBER.match(expr) or NUMBER_CALL.match(expr) or EMPTY.match(expr):
        return True
    # A choice: the condition is not written out, only the two values.
    question = split_top(expr, "?")
    if len(question) == 2:
        branches = split_top(question[1], ":")
        if len(branches) == 2:
            return is_safe(branches[0]) and is_safe(branches[1])
    # A concatenation of safe values.
    operands = split_top(expr, "+")
    if len(operands) > 1:
        return all(is_safe(o) for o in operands)
    return False


def receiver(before):
    """The expression a .arg call is made on: the text before ".arg", back over a chain of calls."""
    end = before.rstrip()
    end = end[:end.rfind(".")].rstrip()
    pos = len(end)
    while pos > 0:
        if end[pos - 1] == ")":
            depth = 0
            j = pos - 1
            while j >= 0:
                if end[j] == ")":
                    depth += 1
                elif end[j] == "(":
                    depth -= 1
                    if depth == 0:
                        break
                elif end[j] == '"':
                    j = end.rfind('"', 0, j)
                j -= 1
            pos = max(j, 0)
        m = re.search(r"[A-Za-z0-9_:.>-]*$", end[:pos])
        name = m.group(0) if m else ""
        pos -= len(name)
        if not name or not end[pos - 1:pos] == ")" or not re.match(r"^[.>-]", name):
            break
    return end[pos:]


def fills_html(before):
    target = receiver(before)
    literals = re.findall(r'"((?:[^"\\]|\\.)*)"', target)
    return not literals or any(TAG.search(x) for x in literals)


def problems_in(statement):
    """The values of the statement that go into HTML unescaped."""
    bad = []
    if not has_html(statement):
        return bad
    # Arguments of .arg(...) calls that fill HTML (a template with a tag, or one held in a variable).
    for before, inside in groups(statement):
        if re.search(r"\.\s*arg\s*$", before) and fills_html(before):
            for arg in split_top(inside, ","):
                if not is_safe(arg):
                    bad.append(arg.strip())
    # Operands joined by "+" to an HTML literal, at the top level and inside every group.
    scopes = [statement] + [inside for _, inside in groups(statement)]
    for scope in scopes:
        for item in split_top(scope, ","):
            # The right-hand side of an assignment is what is built.
            sides = re.split(r"(?<![=!<>+\-*/])[+]?=(?!=)", item)
            rhs = sides[-1]
            operands = split_top(rhs, "+")
            if len(operands) < 2 or not any(has_html(o) and not re.search(r"\.\s*arg\s*\(", o) for o in operands):
                continue
            for o in operands:
                if not is_safe(o) and not has_html(o):
                    bad.append(o.strip())
    return list(dict.fromkeys(b for b in bad if b))


def check_text(text, rel):
    """The faults of one file's text, as "<rel>:<line>: ..." lines."""
    code, markers = strip_source(text)
    errors = []
    for first, last, statement in statements(code):
        if any(line in markers for line in range(first - 1, last + 1)):
            continue
        for value in problems_in(statement):
            value = " ".join(value.split())
            errors.append(f"{rel}:{first + 1}: {value[:100]} goes into HTML unescaped "
                          f"(escape it, or say why it is safe: // html-safe: ...)")
    return errors


def check(root):
    errors = []
    for folder in FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(dirpath, name)
                    with open(path, encoding="utf-8") as f:
                        errors += check_text(f.read(), os.path.relpath(path, root))
    return errors


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args()
    errors = check(args.root)
    for e in errors:
        print(e)
    if errors:
        print(f"{len(errors)} value(s) go into HTML unescaped", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
