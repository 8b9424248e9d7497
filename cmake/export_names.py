#!/usr/bin/env python3
"""Names the public headers declare with TOLVARIS_API.

  export_names.py INCLUDE_DIR            prints one name a line
  export_names.py INCLUDE_DIR --map OUT  writes a linker version script that
                                         exports those names and hides the rest
"""
import pathlib
import re
import sys

DECL = re.compile(r"TOLVARIS_API\b[^;{(]*?\b([A-Za-z_][A-Za-z0-9_]*)\s*\(", re.S)


def declared_names(include_dir):
    names = set()
    for h in sorted(pathlib.Path(include_dir).glob("*.h")):
        text = re.sub(r"/\*.*?\*/", "", h.read_text(), flags=re.S)
        text = re.sub(r"//[^\n]*", "", text)
        text = re.sub(r"#define[^\n]*", "", text)
        names.update(DECL.findall(text))
    return sorted(names)


def main():
    names = declared_names(sys.argv[1])
    if len(sys.argv) == 4 and sys.argv[2] == "--map":
        body = "".join(f"    {n};\n" for n in names)
        new = "{\n  global:\n" + body + "  local:\n    *;\n};\n"
        out = pathlib.Path(sys.argv[3])
        if not out.exists() or out.read_text() != new:
            out.write_text(new)
    else:
        print("\n".join(names))


if __name__ == "__main__":
    main()
