#!/usr/bin/env python3
"""Names the library exports: the functions the public headers declare with
TOLVARIS_API, and, given the Java class that carries the natives, one JNI
entry point per native method.

  export_names.py INCLUDE_DIR [--jni CLASS.java]             prints one name a line
  export_names.py INCLUDE_DIR [--jni CLASS.java] --map OUT   writes a linker version
                                                             script that exports those
                                                             names and hides the rest
"""
import pathlib
import re
import sys

DECL = re.compile(r"TOLVARIS_API\b[^;{(]*?\b([A-Za-z_][A-Za-z0-9_]*)\s*\(", re.S)
NATIVE = re.compile(r"\bnative\s+[A-Za-z0-9_.\[\]]+\s+([A-Za-z_][A-Za-z0-9_]*)\s*\(")
PACKAGE = re.compile(r"^\s*package\s+([A-Za-z0-9_.]+)\s*;", re.M)


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def declared_names(include_dir):
    names = set()
    for h in sorted(pathlib.Path(include_dir).glob("*.h")):
        text = strip_comments(h.read_text())
        text = re.sub(r"#define[^\n]*", "", text)
        names.update(DECL.findall(text))
    return sorted(names)


def jni_names(java_source):
    """Java_<package>_<class>_<method> of each native method (JNI short names;
    the names here hold no character that JNI would escape)."""
    path = pathlib.Path(java_source)
    text = strip_comments(path.read_text())
    package = PACKAGE.search(text)
    prefix = "Java_" + (package.group(1).replace(".", "_") + "_" if package else "") + path.stem + "_"
    return sorted(prefix + m for m in set(NATIVE.findall(text)))


def exported_names(include_dir, java_sources=()):
    names = set(declared_names(include_dir))
    for src in java_sources:
        names.update(jni_names(src))
    return sorted(names)


def main():
    args = sys.argv[1:]
    include_dir, rest = args[0], args[1:]
    java_sources, out = [], None
    while rest:
        opt, value, rest = rest[0], rest[1], rest[2:]
        if opt == "--jni":
            java_sources.append(value)
        elif opt == "--map":
            out = pathlib.Path(value)
        else:
            sys.exit("unknown option " + opt)
    names = exported_names(include_dir, java_sources)
    if out is not None:
        body = "".join(f"    {n};\n" for n in names)
        new = "{\n  global:\n" + body + "  local:\n    *;\n};\n"
        if not out.exists() or out.read_text() != new:
            out.write_text(new)
    else:
        print("\n".join(names))


if __name__ == "__main__":
    main()
