#!/bin/sh
# run_harness.sh LIBTOLVARIS ADDON JAVA CLASSPATH VECTORS MODE [LIBASAN]
# Runs the JNI harness against a private copy of the library with the test
# add-on beside it, under the JVM's JNI checks. MODE "all" runs every check,
# "low-memory" the calls whose result cannot fit a small heap. With LIBASAN
# (the sanitizer build) the runtime is preloaded into the JVM, which handles
# its own SEGVs and keeps memory to the end, and the harness loads the add-on
# by path first: under the sanitizer a bare-name load misses the library's
# run path.
set -u
lib=$1 addon=$2 java=$3 classpath=$4 vectors=$5 mode=$6 asan=${7:-}
dir=$(mktemp -d /tmp/tv-jni-XXXXXX) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$lib" "$dir/libtolvaris.so.1" && ln -s libtolvaris.so.1 "$dir/libtolvaris.so" && cp "$addon" "$dir/quenmod-btc.so" || exit 1
heap=
[ "$mode" = low-memory ] && heap=-Xmx64m
if [ -n "$asan" ]; then
  LD_PRELOAD=$asan ASAN_OPTIONS=handle_segv=0:detect_leaks=0:allow_user_segv_handler=1 \
    "$java" -Xcheck:jni $heap -Djava.library.path="$dir" -Dtv.addon="$dir/quenmod-btc.so" -cp "$classpath" \
    com.morvane.keystrand.harness.JniHarness "$vectors" "$mode"
else
  "$java" -Xcheck:jni $heap -Djava.library.path="$dir" -cp "$classpath" \
    com.morvane.keystrand.harness.JniHarness "$vectors" "$mode"
fi
