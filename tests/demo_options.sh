#!/usr/bin/env bash
# The demo answers --help and --version and refuses an unknown option with its usage,
# each without a window or a file: run without a display, where it would otherwise
# render its drawings into the current folder. Then it renders, and says where to.
#   demo_options.sh DEMO VERSION
set -uo pipefail
demo=$1
version=$2
fail() { echo "demo_options: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen

out=$("$demo" --help 2>&1) || fail "--help failed: $out"
grep -q -- "--render <folder>" <<<"$out" || fail "--help printed no usage: $out"
out=$("$demo" --version 2>&1) || fail "--version failed: $out"
[ "$out" = "kritzelwerk-demo $version" ] || fail "--version printed \"$out\""
out=$("$demo" --no-such-option 2>&1)
status=$?
[ "$status" = 2 ] || fail "an unknown option ended with status $status, not 2"
grep -q "no-such-option" <<<"$out" && grep -q -- "--help" <<<"$out" ||
  fail "an unknown option did not give the error and the usage: $out"
"$demo" stray >/dev/null 2>&1
status=$?
[ "$status" = 2 ] || fail "a stray argument ended with status $status, not 2"
left=$(ls -A)
[ -z "$left" ] || fail "asking the demo left files behind: $left"

# --render says where the drawings went, and only the default run says why no window opened.
out=$("$demo" --render bilder 2>&1) || fail "--render failed: $out"
[ "$out" = "The $(ls bilder | wc -l) lesson drawings are in $(pwd -P)/bilder" ] ||
  fail "--render printed \"$out\", not where the drawings went"
out=$("$demo" 2>&1) || fail "the run without a display failed: $out"
[ "$out" = "No display: the $(ls kritzelwerk-demo | wc -l) lesson drawings are in $(pwd -P)/kritzelwerk-demo" ] ||
  fail "without a display it printed \"$out\""
echo "demo_options: --help, --version and a wrong option answered, nothing written; --render says where"
