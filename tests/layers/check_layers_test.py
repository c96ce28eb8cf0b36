#!/usr/bin/env python3
"""The layer check passes the real tree and fails every kind of planted include."""
import importlib.util
import os
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
script = os.path.join(here, '..', '..', 'scripts', 'check-layers.py')
spec = importlib.util.spec_from_file_location('check_layers', script)
layers = importlib.util.module_from_spec(spec)
spec.loader.exec_module(layers)

# (folder of the planted file, include line, whether the check must refuse it)
CASES = [
    ('engine', '#include "complex/complex_fractal.h"', True),   # upwards
    ('view', '#include "engine/fractal.h"', True),              # upwards
    ('complex', '#include "orbit/orbit_fractal.h"', True),      # across the families
    ('orbit', '#include "catalogue/factory.h"', True),          # upwards past the families
    ('view', '#include "persist/picture_file.h"', True),        # across siblings
    ('platform', '#include "numeric/big_float.h"', True),
    ('engine', '#include <QWidget>', True),                     # Qt below gui/
    ('view', '#include <mpfr.h>', True),                        # MPFR outside its layers
    ('engine', '#include "numeric/mpfr_access.h"', True),
    ('engine', '#include <hwy/highway.h>', True),
    ('app', '  #  include "engine/fractal.h"', False),          # downwards
    ('catalogue', '#include "complex/mandelbrot_fractal.h"', False),
    ('gui', '#include <QWidget>', False),
    ('complex', '#include <mpfr.h>', False),
    ('engine', '#include <queue>', False),
    ('engine', '#include "engine/fractal.h"', False),
]


def planted(folder, line):
    src = tempfile.mkdtemp()
    for name in layers.BELOW:
        os.makedirs(os.path.join(src, name))
    with open(os.path.join(src, folder, 'planted.cpp'), 'w') as f:
        f.write('// a file\n' + line + '\n')
    return src


failures = 0
real = layers.problems(os.path.join(here, '..', '..', 'src'))
if real:
    failures += 1
    print('the tree itself breaks the layers:', *real, sep='\n  ')
for folder, line, refused in CASES:
    found = layers.problems(planted(folder, line))
    if bool(found) != refused:
        failures += 1
        print(f'{folder}/ with {line!r}: expected {"refusal" if refused else "no complaint"}, got {found}')
    elif refused and ':2:' not in found[0]:
        failures += 1
        print(f'{folder}/ with {line!r}: the complaint names the wrong line: {found[0]}')
unknown = planted('engine', '')
os.makedirs(os.path.join(unknown, 'stray'))
if not layers.problems(unknown):
    failures += 1
    print('a folder the layer list does not know passed')
print(f'{len(CASES) + 2 - failures} passed, {failures} failed')
sys.exit(1 if failures else 0)
