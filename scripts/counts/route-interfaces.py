#!/usr/bin/env python3
# The interfaces on a go-to's route: for each, its implementations in the program and in tests or
# benchmarks ("(gone)" once the class no longer exists). Run at the checkout root.
import re
import subprocess

NAMES = ['StudyPaneHost', 'GoToPanes', 'GoToPane', 'LayoutBookPane', 'LayoutRegionContentsViewControllerProtocol',
         'BookPageHost', 'BookPageSource']
files = subprocess.run(['git', 'ls-files', '*.h', '*.cpp'], capture_output=True, text=True).stdout.split()
src = {f: open(f, errors='replace').read() for f in files}
for name in NAMES:
    if not any(re.search(r'class\s+' + name + r'\b[^;]*\{', t) for t in src.values()):
        print(name, '(gone)')
        continue
    program, doubles = [], []
    for f, s in src.items():
        for m in re.finditer(r'class\s+(\w+)\s*(?:final\s*)?:([^{;]*)\{', s):
            if re.search(r'public\s+' + name + r'\b', m.group(2)):
                (doubles if f.startswith(('tests/', 'bench/')) else program).append(m.group(1))
    print(name, len(program), len(doubles), program, doubles)
