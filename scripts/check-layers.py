#!/usr/bin/env python3
"""Checks the include lines of src/ against the layers: a folder includes only the folders
below it, the two families never include each other, and the libraries that only some
layers link (Qt, MPFR, Highway) are included only there.

Usage: check-layers.py [SRC_DIR]   (default: the src/ beside this script's folder)
Prints every offending line as FILE:LINE: message and exits 1 when there is one."""
import os
import re
import sys

# Each folder and the folders it may include (besides itself), lowest layer first.
BELOW = {
    'platform': set(),
    'numeric': {'platform'},
    'view': {'numeric', 'platform'},
    'persist': {'platform'},
    'engine': {'view', 'persist', 'numeric', 'platform'},
    'complex': {'engine', 'view', 'persist', 'numeric', 'platform'},
    'orbit': {'engine', 'view', 'persist', 'numeric', 'platform'},
    'catalogue': {'complex', 'orbit', 'engine', 'view', 'persist', 'numeric', 'platform'},
    'app': {'catalogue', 'complex', 'orbit', 'engine', 'view', 'persist', 'numeric', 'platform'},
    'gui': {'app', 'catalogue', 'complex', 'orbit', 'engine', 'view', 'persist', 'numeric',
            'platform'},
}
# System headers of the libraries that only some layers link, and who may include them.
EXTERNAL = [
    (re.compile(r'<(Q[A-Za-z]|qt|qpa/)'), {'gui'}, 'Qt'),
    (re.compile(r'<mpfr\.h>|<gmp\.h>|"numeric/mpfr_access\.h"'), {'numeric', 'complex'}, 'MPFR'),
    (re.compile(r'<hwy/'), {'complex'}, 'Highway'),
]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"][^">]+[">])')


def problems(src):
    found = []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for folder in folders:
        if folder not in BELOW:
            found.append(f'{folder}/: a folder the layer list does not know; add it to {__file__}')
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                if not name.endswith(('.h', '.hpp', '.cpp', '.cc')):
                    continue
                path = os.path.join(root, name)
                where = os.path.relpath(path, src)
                with open(path, errors='replace') as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        for pattern, allowed, library in EXTERNAL:
                            if pattern.match(target) and folder not in allowed:
                                found.append(f'{where}:{number}: {library} ({target}) is included '
                                             f'outside {", ".join(sorted(allowed))}/')
                        if not target.startswith('"') or '/' not in target:
                            continue
                        other = target[1:-1].split('/')[0]
                        if other == folder or other not in BELOW:
                            continue
                        if other not in BELOW[folder]:
                            found.append(f'{where}:{number}: {folder}/ includes {target}, '
                                         f'which is not below it')
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'src')
    found = problems(src)
    for p in found:
        print(p)
    print(f'layers: {len(found)} include(s) against the layers')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
