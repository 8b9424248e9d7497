#!/usr/bin/env python3
"""The shared library's dynamic symbols are exactly the functions the public
headers declare with TOLVARIS_API: nothing internal leaks out."""
import pathlib
import re
import subprocess
import sys

lib, include_dir = sys.argv[1], pathlib.Path(sys.argv[2])
decl = re.compile(r"TOLVARIS_API\b[^;{(]*?\b([A-Za-z_][A-Za-z0-9_]*)\s*\(", re.S)
declared = set()
for h in sorted(include_dir.glob("*.h")):
    text = re.sub(r"/\*.*?\*/", "", h.read_text(), flags=re.S)
    declared.update(decl.findall(text))
declared.discard("TOLVARIS_API")

out = subprocess.run(["nm", "-D", "--defined-only", lib], check=True, capture_output=True, text=True).stdout
exported = set()
for line in out.splitlines():
    parts = line.split()
    if len(parts) >= 3 and parts[1] in ("T", "W", "i", "D", "B", "R", "V"):
        exported.add(parts[2].split("@")[0])

missing = sorted(declared - exported)
extra = sorted(exported - declared)
for name in missing:
    print("declared but not exported:", name)
for name in extra:
    print("exported but not declared:", name)
print(f"{len(declared)} declared, {len(exported)} exported")
sys.exit(1 if missing or extra else 0)
