#!/usr/bin/env python3
"""The layers of src/ point one way: a folder includes its own headers and those of the
layers below it, never of one above or beside it. Prints each wrong include; exit 1."""
import os
import re
import sys

RANKS = {"common": 0, "com": 1, "columns": 2, "web": 2, "shell": 2, "export": 3, "browse": 3, "ui": 4,
         "module": 5}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')

src = sys.argv[1]
wrong = []
for layer, rank in RANKS.items():
    for folder, _, files in os.walk(os.path.join(src, layer)):
        for name in files:
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match or match.group(1) not in RANKS:
                        continue
                    other = match.group(1)
                    if other != layer and RANKS[other] >= rank:
                        wrong.append(f"{path}:{number}: {layer}/ includes {other}/")
for line in wrong:
    print(line)
sys.exit(1 if wrong else 0)
