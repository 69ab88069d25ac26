#!/usr/bin/python3
# Checks that every source folder includes headers only from itself and the
# folders it links to (directly or through them), as src/CMakeLists.txt
# declares, and that those declarations form no circle. Prints each offending
# include and exits 1; silent and 0 when the layout holds.
import os
import re
import sys

src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..', 'src')
cmake = open(os.path.join(src, 'CMakeLists.txt'), encoding='utf-8').read()

# qv_add_library(qv_name folder deps...): a folder may use the folders of its qv_ dependencies.
uses = {}
for m in re.finditer(r'qv_add_library\(\s*qv_(\w+)\s+(\w+)([^)]*)\)', cmake):
    folder = m.group(2)
    uses.setdefault(folder, set()).update(re.findall(r'\bqv_(\w+)', m.group(3)))

problems = []

# No circle among the declarations.
state = {}


def visit(folder, path):
    if state.get(folder) == 'done':
        return
    if state.get(folder) == 'open':
        problems.append('Kreis zwischen Ordnern: ' + ' -> '.join(path[path.index(folder):] + [folder]))
        return
    state[folder] = 'open'
    for dep in sorted(uses.get(folder, ())):
        visit(dep, path + [folder])
    state[folder] = 'done'


for folder in sorted(uses):
    visit(folder, [])


def below(folder, seen=None):
    seen = set() if seen is None else seen
    for dep in uses.get(folder, ()):
        if dep not in seen:
            seen.add(dep)
            below(dep, seen)
    return seen


# Where each header lives.
home = {}
for folder in uses:
    for name in os.listdir(os.path.join(src, folder)):
        if name.endswith('.h'):
            home.setdefault(name, set()).add(folder)

include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
for folder in sorted(uses):
    allowed = below(folder) | {folder}
    for name in sorted(os.listdir(os.path.join(src, folder))):
        # The program's main() links everything; it is the top of the house.
        if not name.endswith(('.cpp', '.h')) or (folder, name) == ('shell', 'main.cpp'):
            continue
        with open(os.path.join(src, folder, name), encoding='utf-8') as f:
            for number, line in enumerate(f, 1):
                m = include.match(line)
                if not m:
                    continue
                owners = home.get(os.path.basename(m.group(1)), set())
                if owners and not owners & allowed:
                    problems.append('%s/%s:%d: "%s" aus %s, das %s nicht verwenden darf'
                                    % (folder, name, number, m.group(1), '/'.join(sorted(owners)), folder))

for p in problems:
    print(p)
sys.exit(1 if problems else 0)
