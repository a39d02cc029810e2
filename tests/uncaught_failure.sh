#!/usr/bin/env bash
# A library failure that nothing caught ends the program with one plain line on standard
# error and status 1, keeping what it printed before; an exception of the program's own
# still ends it as the standard library does (an abort that names it).
#   uncaught_failure.sh PROGRAM
set -uo pipefail
program=$1
fail() { echo "uncaught_failure: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ulimit -c 0

"$program" >out 2>err
status=$?
[ "$status" = 1 ] || fail "ended with status $status, not 1; stderr: $(cat err)"
[ "$(wc -l <err)" = 1 ] || fail "stderr is not one line: $(cat err)"
grep -q '^Kritzel-Werk: cannot save the drawing .*gibtsnicht/bild.svg' err ||
  fail "stderr does not say what failed: $(cat err)"
grep -q '^before the save$' out || fail "what the program printed before was lost"

"$program" eigener >out 2>err
status=$?
[ "$status" = 134 ] || fail "its own exception ended with status $status, not an abort (134)"
grep -q "eigener Fehler" err || fail "its own exception was not named: $(cat err)"
echo "uncaught_failure: the library's failure in one line with status 1, the program's own aborts"
