#!/usr/bin/env python3
"""Measures how many lines of members each class of the program has.

A class's lines are the lines of its body in its header (from the line that
opens it to the line that closes it) plus the lines of every member it defines
out of line (`Class::member(...) { ... }`, from the first line of the
signature to the closing brace) in any source file. Comments, string and
character literals and preprocessor lines are blanked before the braces are
matched, so a brace inside them counts for nothing.

Prints the classes sorted by size, the largest first, and ends with status 1
when one of them is over the limit.

    python3 scripts/class-size.py [--limit 800] [--top N] [folders...]
"""
import argparse
import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
FOLDERS = ["src", "platform", "tor", "rag"]
HEADERS = (".h", ".hpp")
SOURCES = HEADERS + (".cpp", ".cc")


def blank(text):
    """The text with comments, literals and preprocessor lines turned into
    spaces; line breaks stay where they are, so positions keep their lines."""
    out = list(text)
    n = len(text)
    i = 0
    line_start = True

    def wipe(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if line_start and c == "#":
            # A directive, with its continuation lines.
            j = i
            while j < n:
                if text[j] == "\n" and text[j - 1] != "\\":
                    break
                j += 1
            wipe(i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            wipe(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            wipe(i, j)
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")) \
                or (c in "uUL8" and re.match(r'(?:u8|[uUL])R"', text[i:i + 4])):
            start = text.find('R"', i)
            paren = text.find("(", start)
            delim = ")" + text[start + 2:paren] + '"'
            j = text.find(delim, paren)
            j = n if j < 0 else j + len(delim)
            wipe(start + 2, j - 1)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum())):
            # A string or character literal (a digit separator such as
            # 1'000 is neither).
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            wipe(i + 1, min(j, n))
            i = j + 1
        else:
            i += 1
    return "".join(out)


def match_close(text, i, opening, closing):
    """Index of the bracket that closes the one at i (or len(text))."""
    depth = 0
    n = len(text)
    while i < n:
        c = text[i]
        if c == opening:
            depth += 1
        elif c == closing:
            depth -= 1
            if depth == 0:
                return i
        i += 1
    return n


CLASS_HEAD = re.compile(r"\b(class|struct|union)\s+(?:\[\[[^\]]*\]\]\s*)?(?:alignas\s*\([^)]*\)\s*)?"
                        r"(?:[A-Z_][A-Z0-9_]*\s+)?(\w+(?:\s*::\s*\w+)*)\s*(?:final\s*)?(?::(?!:)[^;{}()]*)?$")
NAMESPACE_HEAD = re.compile(r"(?:\binline\s+)?\bnamespace\b[\w:\s]*$|\bextern\s*\"\s*\"\s*$")
QUALIFIED = re.compile(r"((?:\w+\s*(?:<[^<>;{}()]*>)?\s*::\s*)+)(~?\w+|operator\s*(?:\(\s*\)|[^\s(]+))\s*\(")
IDENT = re.compile(r"\s*(?:::)?\w+(?:\s*<[^<>;{}()]*>)?(?:\s*::\s*\w+(?:\s*<[^<>;{}()]*>)?)*\s*")


class Measure:
    def __init__(self):
        self.bodies = {}      # class -> lines of its body (all its headers)
        self.homes = {}       # class -> files that hold its body
        self.members = {}     # class -> lines of out-of-line members
        self.text = ""
        self.path = ""
        self.code_only = False

    def line(self, pos):
        return self.text.count("\n", 0, pos) + 1

    def local(self, name):
        return f"{name} [{os.path.relpath(self.path, ROOT)}]"

    def span(self, begin, end):
        """Lines from begin to end that hold code (a line with only a
        comment or nothing counts for nothing)."""
        while begin < end and self.text[begin].isspace():
            begin += 1
        lines = self.text[begin:end + 1].split("\n")
        if not self.code_only:
            return len(lines)
        return sum(1 for l in lines if l.strip())

    def scan(self, path):
        with open(path, encoding="utf-8", errors="replace") as f:
            self.text = blank(f.read())
        self.path = path
        self.scan_scope(0, len(self.text), "")

    def scan_scope(self, begin, end, outer):
        """Walks one scope (the file, a namespace or a class body) statement
        by statement: nested scopes are entered, class bodies measured and
        out-of-line member definitions attributed to their class."""
        text = self.text
        p = begin
        while p < end:
            m = re.compile(r"[;{}]").search(text, p, end)
            if not m:
                return
            k = m.start()
            if text[k] != "{":
                p = k + 1
                continue
            head = text[p:k].strip()
            if NAMESPACE_HEAD.search(head) and not outer:
                close = match_close(text, k, "{", "}")
                self.scan_scope(k + 1, close, "")
                p = close + 1
                continue
            cls = CLASS_HEAD.search(head) if "(" not in head.split("=")[0] else None
            if cls and re.search(r"\benum\s+$", head[:cls.start()]):
                cls = None  # an enum class is no class
            if cls and "=" not in head:
                close = match_close(text, k, "{", "}")
                name = (outer + "::" if outer else "") + cls.group(2)
                name = re.sub(r"\s+", "", name)
                if not self.path.endswith(HEADERS) and "::" not in name:
                    # A class of one source file only: its name may recur in another.
                    name = self.local(name)
                self.bodies[name] = self.bodies.get(name, 0) + self.span(p, close)
                self.homes.setdefault(name, set()).add(os.path.relpath(self.path, ROOT))
                self.scan_scope(k + 1, close, name)
                p = close + 1
                continue
            if not outer:
                done = self.member(p, k, end)
                if done is not None:
                    p = done
                    continue
            p = match_close(text, k, "{", "}") + 1

    def member(self, p, k, end):
        """An out-of-line member definition starting at p (its first brace is
        at k): records it and answers where it ends; None when it is none."""
        text = self.text
        q = QUALIFIED.search(text, p, k + 1)
        if not q or q.start() > k:
            return None
        owner = re.sub(r"<[^<>]*>", "", q.group(1))
        owner = re.sub(r"\s+", "", owner).rstrip(":")
        if not owner:
            return None
        paren = q.end() - 1
        close = match_close(text, paren, "(", ")")
        i = close + 1
        # Qualifiers, a trailing return type, then the body, a constructor's
        # initialisers or the end of a declaration.
        while i < end:
            c = text[i]
            if c == "{":
                break
            if c == ";" or (c == "=" and text[i + 1:i + 2] != "="):
                return None
            if c == ":" and text[i + 1:i + 2] != ":" and text[i - 1] != ":":
                i += 1
                while i < end:
                    m = IDENT.match(text, i)
                    if not m:
                        return None
                    i = m.end()
                    if i >= end or text[i] not in "({":
                        return None
                    i = match_close(text, i, text[i], ")" if text[i] == "(" else "}") + 1
                    while i < end and text[i].isspace():
                        i += 1
                    if text.startswith("...", i):
                        i += 3
                        while i < end and text[i].isspace():
                            i += 1
                    if i < end and text[i] == ",":
                        i += 1
                        continue
                    break
                break
            if c == "(":
                i = match_close(text, i, "(", ")") + 1
                continue
            i += 1
        if i >= end or text[i] != "{":
            return None
        body_end = match_close(text, i, "{", "}")
        if self.local(owner) in self.bodies:
            owner = self.local(owner)
        self.members[owner] = self.members.get(owner, 0) + self.span(p, body_end)
        return body_end + 1


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--limit", type=int, default=800)
    ap.add_argument("--top", type=int, default=0, help="print only the N largest classes")
    ap.add_argument("--code", action="store_true", help="count only the lines that hold code")
    ap.add_argument("--open", metavar="FILE",
                    help="classes still over the limit, each with the size it may not grow past")
    ap.add_argument("folders", nargs="*", default=FOLDERS)
    args = ap.parse_args()

    m = Measure()
    m.code_only = args.code
    for folder in args.folders:
        base = folder if os.path.isabs(folder) else os.path.join(ROOT, folder)
        for dirpath, dirnames, filenames in os.walk(base):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(SOURCES):
                    m.scan(os.path.join(dirpath, name))

    # A member is owned by the class its qualifier names: the full nested name
    # when it is known, else its last part (a namespace before it is no class).
    sizes = dict(m.bodies)
    for owner, lines in m.members.items():
        key = owner
        while key not in sizes and "::" in key:
            key = key.split("::", 1)[1]
        if key in sizes:
            sizes[key] += lines
    rows = sorted(sizes.items(), key=lambda kv: (-kv[1], kv[0]))
    # The classes still to be split: each may stay over the limit until it is,
    # but not grow; one split below the limit has to leave the list.
    still = {}
    if args.open:
        for line in open(args.open, encoding="utf-8"):
            line = line.split("#", 1)[0].split()
            if line:
                still[line[0]] = int(line[1])
    over = [r for r in rows if r[1] > args.limit and r[1] > still.get(r[0], 0)]
    shown = rows[:args.top] if args.top else rows
    for name, lines in shown:
        mark = ""
        if lines > args.limit:
            mark = "  da dividere (elenco)" if lines <= still.get(name, 0) else "  OLTRE IL LIMITE"
        print(f"{lines:6d}  {name}  ({', '.join(sorted(m.homes.get(name, ())))}){mark}")
    stale = [n for n in still if sizes.get(n, 0) <= args.limit]
    for name in stale:
        print(f"{name}: ora entro {args.limit} righe, togliere dall'elenco {args.open}", file=sys.stderr)
    if over:
        print(f"{len(over)} classi oltre {args.limit} righe di membri", file=sys.stderr)
    return 1 if over or stale else 0


if __name__ == "__main__":
    sys.exit(main())
