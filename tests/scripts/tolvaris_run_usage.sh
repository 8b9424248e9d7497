#!/usr/bin/env bash
# tolvaris_run_usage.sh TOLVARIS_RUN
# The host program's command line: -h and --help print the usage on standard
# output and exit 0; any other argument beginning with "-", or more than one
# argument, is refused with the usage on standard error and exit status 2,
# and sends nothing. A request, as the argument or as a line of standard
# input (even one reading "--help"), goes to the library as before.
set -uo pipefail
tool=$1
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Runs the program with the arguments; sets status, out and err.
run() {
  "$tool" "$@" <"${stdin:-/dev/null}" >"$top/out" 2>"$top/err"
  status=$?
  out=$(cat "$top/out")
  err=$(cat "$top/err")
}

usage_first='usage: tolvaris-run [REQUEST]'
for opt in -h --help; do
  run "$opt"
  [ "$status" -eq 0 ] || fail "$opt: exit $status"
  [ -z "$err" ] || fail "$opt: wrote to standard error: $err"
  [ "$(head -n 1 "$top/out")" = "$usage_first" ] || fail "$opt: usage does not begin: $(head -n 1 "$top/out")"
  for says in 'standard input' 'AddModule' 'quenmod-<tag>.so' 'Exit status: 0' ' 1 when' ' 2 for'; do
    grep -qF -- "$says" "$top/out" || fail "$opt: the usage does not tell '$says'"
  done
  help_text=$out
done

for opt in --bogus -x - -help --help=yes --h -hh; do
  run "$opt"
  [ "$status" -eq 2 ] || fail "$opt: exit $status, want 2"
  [ -z "$out" ] || fail "$opt: wrote to standard output: $out"
  [ "$(head -n 1 "$top/err")" = "tolvaris-run: unknown option $opt" ] ||
    fail "$opt: refusal reads: $(head -n 1 "$top/err")"
  [ "$(tail -n +2 "$top/err")" = "$help_text" ] || fail "$opt: the usage does not follow the refusal"
done

for args in "--help x" "{} {}" "-h -h"; do
  # shellcheck disable=SC2086
  run $args
  [ "$status" -eq 2 ] || fail "'$args': exit $status, want 2"
  [ -z "$out" ] || fail "'$args': wrote to standard output: $out"
  [ "$err" = "$help_text" ] || fail "'$args': standard error is not the usage: $err"
done

sha='{"action":"GenHashMessage","args":{"hashalgo":"SHA256","data":"abc"}}'
want='{"action":"GenHashMessage","result":"success","return":{"hashalgo":"SHA256","data":"abc","md":"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}}'
for request in "$sha" " $sha"; do
  run "$request"
  [ "$status" -eq 0 ] && [ "$out" = "$want" ] && [ -z "$err" ] ||
    fail "request [$request]: exit $status, out [$out], err [$err]"
done

# On standard input every line is a request, "--help" too.
printf '%s\n' --help "$sha" >"$top/in"
stdin=$top/in run
[ "$status" -eq 1 ] || fail "--help as an input line: exit $status, want 1"
[ "$(sed -n 1p "$top/out")" = '{"action":"json_parse","result":"fail","return":{"json":"--help","err_code":"100","err_msg":"invalid json format"}}' ] ||
  fail "--help as an input line: $(sed -n 1p "$top/out")"
[ "$(sed -n 2p "$top/out")" = "$want" ] || fail "the line after it: $(sed -n 2p "$top/out")"
[ -z "$err" ] || fail "input lines: wrote to standard error: $err"

if [ "$failures" -ne 0 ]; then
  echo "tolvaris-run usage: $failures failed"
  exit 1
fi
echo "tolvaris-run usage: ok"
