#!/usr/bin/env python3
"""Field and structure names of the CU record model written as string literals.

The program names the record model's structures and fields through the
identifiers the build generates from recordmodel.json (velcu/VelFields.h), so
that a mistyped name does not compile. This script finds the literals that
still spell such a name in the code:

  python3 scripts/field-ids.py [--count] [FOLDER...]   lists them, status 1 if any
  python3 scripts/field-ids.py --rewrite [FOLDER...]   replaces them by their ids

The folders default to the program's units (src/prj/unit). Comments are left
alone. A literal spelt neither as the model spells the name nor in upper case
is listed, never rewritten: its spelling says it is something else (a column
of the store, a key of another map).
"""
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MODEL = os.path.join(ROOT, 'src/prj/unit/model/recordmodel.json')
INCLUDE = '#include "velcu/VelFields.h"'
LITERAL = re.compile(r'(QStringLiteral|QLatin1String)\(\s*"([A-Za-z_][A-Za-z0-9_]*)"\s*\)|"([A-Za-z_][A-Za-z0-9_]*)"')


def load_names():
    model = json.load(open(MODEL, encoding='utf-8'))
    fields, structures = {}, {}
    for s in model['structures']:
        structures[s['name'].upper()] = s['name']
        for f in s.get('fields', []):
            fields.setdefault(f['name'].upper(), f['name'])
    return fields, structures


def code_part(line):
    """The line up to a // comment that is not inside a string."""
    in_string = False
    i = 0
    while i < len(line):
        c = line[i]
        if c == '\\' and in_string:
            i += 2
            continue
        if c == '"':
            in_string = not in_string
        elif not in_string and line.startswith('//', i):
            return line[:i]
        i += 1
    return line


def replacement(wrapper, word, fields, structures):
    upper = word.upper()
    if upper in structures and word == structures[upper]:
        base = 'rec::%s::id' % word
        return {'QStringLiteral': base + '.qs()', 'QLatin1String': base + '.l1()'}.get(wrapper, base + '.name')
    if upper not in fields:
        return None
    model = fields[upper]
    base = 'fld::' + model
    if word == model:
        return {'QStringLiteral': base + '.qs()', 'QLatin1String': base + '.l1()'}.get(wrapper, base + '.name')
    if word == upper:
        return {'QStringLiteral': base + '.qsUpper()', 'QLatin1String': base + '.l1Upper()'}.get(wrapper, base + '.upper')
    return None


RAW_START = re.compile(r'R"([^(\s]*)\(')


def scan(path, fields, structures, rewrite):
    found, out, changed, in_block, raw_end = [], [], False, False, None
    for number, line in enumerate(open(path, encoding='utf-8'), 1):
        if in_block:
            out.append(line)
            in_block = '*/' not in line
            continue
        # a raw string is data (a JSON description...), not code naming a field
        if raw_end is not None:
            out.append(line)
            if raw_end in line:
                raw_end = None
            continue
        raw = RAW_START.search(line)
        if raw and ')' + raw.group(1) + '"' not in line[raw.end():]:
            raw_end = ')' + raw.group(1) + '"'
            line, rest = line[:raw.start()], line[raw.start():]
        else:
            rest = ''
        code = code_part(line)
        if code.lstrip().startswith('/*'):
            in_block = '*/' not in code
            out.append(line)
            continue
        pieces, last = [], 0
        for m in LITERAL.finditer(code):
            wrapper, word = (m.group(1), m.group(2)) if m.group(1) else (None, m.group(3))
            if word.upper() not in fields and word.upper() not in structures:
                continue
            new = replacement(wrapper, word, fields, structures)
            if not rewrite or new is None:
                found.append((path, number, word))
                continue
            pieces.append(code[last:m.start()] + new)
            last = m.end()
        if pieces:
            changed = True
            line = ''.join(pieces) + code[last:] + line[len(code):]
        out.append(line + rest)
    if changed:
        add_include(out)
        with open(path, 'w', encoding='utf-8') as f:
            f.writelines(out)
    return found, changed


def add_include(lines):
    if any(l.strip() == INCLUDE for l in lines):
        return
    last = max((i for i, l in enumerate(lines) if l.startswith('#include "')), default=None)
    if last is None:
        last = max((i for i, l in enumerate(lines) if l.startswith('#include') or l.startswith('#pragma once')),
                   default=-1)
    lines.insert(last + 1, INCLUDE + '\n')


def main(argv):
    rewrite = '--rewrite' in argv
    count = '--count' in argv
    folders = [a for a in argv if not a.startswith('--')] or ['src/prj/unit']
    fields, structures = load_names()
    found, files = [], 0
    for folder in folders:
        for base, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in sorted(names):
                if name.endswith(('.cpp', '.h')):
                    f, changed = scan(os.path.join(base, name), fields, structures, rewrite)
                    found += f
                    files += changed
    if rewrite:
        print('file riscritti: %d' % files)
    if count:
        print('nomi di campo scritti come testo: %d (%d nomi)' % (len(found), len({w.upper() for _, _, w in found})))
        return 0
    for path, number, word in found:
        print('%s:%d: "%s"' % (os.path.relpath(path, ROOT), number, word))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
