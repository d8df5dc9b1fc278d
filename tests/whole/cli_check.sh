#!/bin/sh
# cli_check.sh NAME VERSION TOOL [WRONG-ARGS...]: checks how a tool answers
# its command line. --help prints a usage line, options and an example on
# standard output and exits 0; --version prints "NAME VERSION" and exits 0;
# both fail with the reason when standard output cannot take them; no arguments, an unknown option and each WRONG-ARGS case (one case per
# argument, words split on blanks) exit 2 with a usage line on standard
# error and nothing on standard output.
name=$1 version=$2 tool=$3
shift 3
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failures=0
fail() { echo "FAIL: $name $*"; failures=$((failures + 1)); }

"$tool" --help >"$out" 2>"$err"; rc=$?
[ $rc -eq 0 ] || fail "--help exits $rc"
grep -q '^usage: ' "$out" || fail "--help prints no usage line"
grep -q '^  *--' "$out" || fail "--help lists no options"
grep -q '^example: ' "$out" || fail "--help gives no example"

"$tool" --version >"$out" 2>"$err"; rc=$?
[ $rc -eq 0 ] || fail "--version exits $rc"
[ "$(cat "$out")" = "$name $version" ] || fail "--version prints '$(cat "$out")', not '$name $version'"

for args in --help --version; do
  "$tool" $args >/dev/full 2>"$err"; rc=$?
  [ $rc -ne 0 ] || fail "$args into a full disk exits 0"
  grep -q "cannot write standard output: No space left on device" "$err" || fail "$args into a full disk says '$(cat "$err")'"
done

wrong() {
  "$tool" "$@" >"$out" 2>"$err"; rc=$?
  [ $rc -eq 2 ] || fail "'$*' exits $rc, not 2"
  grep -q '^usage: ' "$err" || fail "'$*' prints no usage line on standard error"
  [ -s "$out" ] && fail "'$*' writes to standard output"
}
wrong
wrong --no-such-option
for args in "$@"; do
  # shellcheck disable=SC2086  # the words of one case
  wrong $args
done
[ $failures -eq 0 ] && echo "$name: command line answers as expected"
exit $failures
