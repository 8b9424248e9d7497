#!/usr/bin/env bash
# check_runpath.sh PATH...
# Reads the dynamic section of every ELF library and program under the given
# folders (or the given files) and fails on an empty entry in an RPATH or
# RUNPATH: the loader reads an empty entry (a leading or trailing ':', '::',
# or an empty list) as the working directory, so a library dropped where the
# program is started would be loaded instead of the system's. Folders named
# CMakeFiles (CMake's own probes and the object files) are left out. Prints
# each checked file with its run path; fails as well when it finds no ELF
# file with a dynamic section at all.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: check_runpath.sh PATH..." >&2; exit 2; }

# One readelf over all candidates; /dev/null (no ELF file) makes it name
# every file in a "File:" line even when find yields only one.
find "$@" -name CMakeFiles -prune -o -type f \( -name '*.so' -o -name '*.so.*' -o -perm -u+x \) -print0 |
  sort -z | { xargs -0 readelf -d -W /dev/null 2>/dev/null || true; } |
  awk '
    function done_file() {
      if (file != "" && dynamic) {
        checked++
        if (!paths) print file ": no run path"
      }
    }
    /^File: / { done_file(); file = substr($0, 7); dynamic = 0; paths = 0; next }
    /^Dynamic section at offset/ { dynamic = 1; next }
    /\((RUNPATH|RPATH)\)/ {
      paths = 1
      tag = $0; sub(/^[^(]*\(/, "", tag); sub(/\).*$/, "", tag)
      value = $0; sub(/^[^[]*\[/, "", value); sub(/\][^]]*$/, "", value)
      if (index(":" value ":", "::") > 0) {
        print file ": " tag " [" value "] has an empty entry"
        bad++
      } else {
        print file ": " tag " [" value "]"
      }
    }
    END {
      done_file()
      if (checked == 0) {
        print "check_runpath: no ELF library or program with a dynamic section"
        exit 1
      }
      printf "check_runpath: %d files, %d empty run path entries\n", checked, bad
      exit bad > 0
    }'
