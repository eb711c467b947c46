#!/usr/bin/env python3
"""Restates resources/string_table.inc for lupdate: each KX_STRING(id, u"text")
becomes QT_TRANSLATE_NOOP3("ResStr", "text", "id"). Usage: IN.inc OUT.cpp"""
import re
import sys

entry = re.compile(r'^\s*KX_STRING\(\s*(\d+)\s*,\s*u((?:"(?:[^"\\]|\\.)*"\s*)+)\)\s*$')
lines = ['// Generated from string_table.inc for lupdate; not compiled.']
with open(sys.argv[1], encoding='utf-8') as f:
    for n, line in enumerate(f, 1):
        if not line.lstrip().startswith('KX_STRING('):
            continue
        m = entry.match(line)
        if not m:
            sys.exit(f'{sys.argv[1]}:{n}: cannot read this entry: {line.strip()}')
        # Adjacent literals may carry further u prefixes; plain literals for lupdate.
        literal = re.sub(r'"\s*u"', '" "', m.group(2).strip())
        lines.append(f'QT_TRANSLATE_NOOP3("ResStr", {literal}, "{m.group(1)}")')
text = '\n'.join(lines) + '\n'
try:
    with open(sys.argv[2], encoding='utf-8') as f:
        if f.read() == text:
            sys.exit(0)  # unchanged: keep the time stamp
except FileNotFoundError:
    pass
with open(sys.argv[2], 'w', encoding='utf-8') as f:
    f.write(text)
