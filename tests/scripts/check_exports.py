#!/usr/bin/env python3
"""The shared library's dynamic symbols are exactly the functions the public
headers declare with TOLVARIS_API and the JNI entry points of the Java class's
native methods: every one is defined, nothing internal leaks out.

  check_exports.py LIBRARY INCLUDE_DIR [JAVA_CLASS_SOURCE ...]
"""
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "cmake"))
from export_names import exported_names  # noqa: E402

lib, include_dir, java_sources = sys.argv[1], sys.argv[2], sys.argv[3:]
declared = set(exported_names(include_dir, java_sources))

out = subprocess.run(["nm", "-D", "--defined-only", lib], check=True, capture_output=True, text=True).stdout
exported = set()
for line in out.splitlines():
    parts = line.split()
    if len(parts) >= 3 and parts[1] in ("T", "W", "i", "D", "B", "R", "V", "u"):
        exported.add(parts[2].split("@")[0])

missing = sorted(declared - exported)
extra = sorted(exported - declared)
for name in missing:
    print("declared but not exported:", name)
for name in extra:
    print("exported but not declared:", name)
print(f"{len(declared)} declared, {len(exported)} exported")
sys.exit(1 if missing or extra else 0)
