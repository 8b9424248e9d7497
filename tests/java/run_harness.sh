#!/bin/sh
# run_harness.sh LIBTOLVARIS ADDON JAVA CLASSPATH VECTORS
# Runs the JNI harness against a private copy of the library with the test
# add-on beside it, under the JVM's JNI checks.
set -u
lib=$1 addon=$2 java=$3 classpath=$4 vectors=$5
dir=$(mktemp -d /tmp/tv-jni-XXXXXX) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$lib" "$dir/libtolvaris.so.1" && ln -s libtolvaris.so.1 "$dir/libtolvaris.so" && cp "$addon" "$dir/quenmod-btc.so" || exit 1
"$java" -Xcheck:jni -Djava.library.path="$dir" -cp "$classpath" com.morvane.keystrand.harness.JniHarness "$vectors"
