#!/usr/bin/env bash
# Installs a build into a new prefix and uses it as a program outside this
# tree would: (a) a C program built with pkg-config, (b) a CMake project with
# find_package(tolvaris), (c) the installed tolvaris-run loading an installed
# add-on. Also: the library's SONAME, no build path and no empty entry in
# the run path of any installed binary, nothing written outside the prefix.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
prefix=$top/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install check: $*" >&2; exit 1; }

while read -r path; do
  case "$path" in "$prefix"/*) ;; *) fail "installed outside the prefix: $path" ;; esac
done <"$build/install_manifest.txt"

lib=$(find "$prefix" -name 'libtolvaris.so.1' -print -quit)
[ -n "$lib" ] || fail "no libtolvaris.so.1"
libdir=$(dirname "$lib")
readelf -d "$lib" | grep -q 'SONAME.*\[libtolvaris.so.1\]' || fail "SONAME"
for f in "$lib" "$prefix"/bin/tolvaris-run "$libdir"/quenmod-*.so; do
  if readelf -d "$f" | grep -E 'RPATH|RUNPATH' | grep -qF -e "$build" -e "$src"; then
    fail "$f names the build folder"
  fi
done
bash "$(dirname "$0")/check_runpath.sh" "$prefix" >"$top/runpath.log" ||
  fail "empty run path entry: $(grep 'empty' "$top/runpath.log" || tail -n 1 "$top/runpath.log")"

# (a) pkg-config and a C program.
cat >"$top/prog.c" <<'C'
#include <stdio.h>
#include <string.h>
#include <tolvaris/bcm_core.h>
int main(void) {
  unsigned char md[32];
  int len = sizeof md;
  if (BCMGenHashMessage(1, (const unsigned char*)"abc", 3, md, &len) != 0 || len != 32) return 1;
  for (int i = 0; i < len; ++i) printf("%02x", md[i]);
  printf("\n");
  return 0;
}
C
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046
cc -Wall -Werror -o "$top/prog" "$top/prog.c" $(pkg-config --cflags --libs tolvaris) -Wl,-rpath,"$libdir"
[ "$("$top/prog")" = ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad ] || fail "pkg-config program"

# (b) find_package(tolvaris) and tolvaris::tolvaris.
mkdir -p "$top/cmake-user"
cp "$top/prog.c" "$top/cmake-user/prog.c"
cat >"$top/cmake-user/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.20)
project(user C)
find_package(tolvaris 1.0 REQUIRED)
add_executable(prog prog.c)
target_link_libraries(prog PRIVATE tolvaris::tolvaris)
CM
cmake -S "$top/cmake-user" -B "$top/cmake-user/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$top/cmake-user/build" >/dev/null
[ "$("$top/cmake-user/build/prog")" = ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad ] ||
  fail "find_package program"

# (c) the installed host program and an installed add-on.
out=$(printf '%s\n' \
  "{\"action\":\"AddModule\",\"args\":{\"addon\":\"sample\",\"libpath\":\"$libdir\"}}" \
  '{"action":"TestAction","addon":"sample","args":{"arg1":"a","arg2":"b"}}' | "$prefix/bin/tolvaris-run")
echo "$out" | grep -q "\"libfullpath\":\"$libdir/quenmod-sample.so\"" || fail "AddModule: $out"
echo "$out" | grep -q '"retvalue1":"a=>TestAction Run1"' || fail "TestAction: $out"
echo "install check: ok"
