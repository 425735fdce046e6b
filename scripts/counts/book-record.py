#!/usr/bin/env python3
# Members per class of the book record and its parts (ctags over library/SourceTuple*.h),
# and the number of source files that name each class. The record's plain value
# (SourceTupleRecord) is listed apart: fields, not an interface, so only its fields and any member
# functions are counted, and the files that read it (record()).
import subprocess, sys, json, os, re, collections
root = sys.argv[1] if len(sys.argv) > 1 else '.'
os.chdir(root)
classes = ['SourceTuple', 'SourceTupleLocations', 'SourceTupleWords', 'SourceTupleReadings']
records = ['SourceTupleRecord']
hdrs = sorted(f'library/{f}' for f in os.listdir('library') if re.match(r'SourceTuple(Locations|Words|Readings|Record)?\.h$', f))
out = subprocess.run(['ctags', '--output-format=json', '--language-force=C++', '--c++-kinds=+p-l', '--fields=+KZsa', '-f', '-'] + hdrs,
                     capture_output=True, text=True).stdout
members = collections.Counter()
public = collections.Counter()
fields = collections.Counter()
functions = collections.Counter()
for line in out.splitlines():
    t = json.loads(line)
    if t.get('_type') != 'tag': continue
    if t.get('scopeKind') == 'class' and t.get('scope') in classes and t.get('kind') in ('prototype','function','member','variable'):
        members[t['scope']] += 1
        if t.get('access') == 'public' and t.get('kind') in ('prototype', 'function'):
            public[t['scope']] += 1
    if t.get('scopeKind') == 'struct' and t.get('scope') in records:
        if t.get('kind') == 'member':
            fields[t['scope']] += 1
        elif t.get('kind') in ('prototype', 'function'):
            functions[t['scope']] += 1
files = subprocess.run(['git', 'ls-files', '*.h', '*.cpp', '*.mm'], capture_output=True, text=True).stdout.split()
naming = collections.Counter()
for f in files:
    try: s = open(f, encoding='utf-8', errors='replace').read()
    except OSError: continue
    for c in classes + records:
        if re.search(r'\b' + c + r'\b', s): naming[c] += 1
acc = {'SourceTupleLocations': 'locations', 'SourceTupleWords': 'words', 'SourceTupleReadings': 'readings',
       'SourceTupleRecord': 'record'}
for c, a in acc.items():
    for f in files:
        if f.startswith('library/SourceTuple'): continue
        try: s = open(f, encoding='utf-8', errors='replace').read()
        except OSError: continue
        if re.search(r'\b' + c + r'\b', s) is None and re.search(r'(->|\.)' + a + r'\(\)', s):
            naming[c] += 1
for c in classes:
    print(f'{c:24} members {members[c]:4}   public functions {public[c]:4}   files naming or reaching it {naming[c]:4}')
for c in records:
    print(f'{c:24} record: fields {fields[c]:4}   member functions {functions[c]:4}   files naming or reaching it {naming[c]:4}')
