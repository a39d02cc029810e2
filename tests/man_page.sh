#!/usr/bin/env bash
# The manual page kritzelwerk(7) formats without a warning from groff, and its command
# list holds the overview's commands under the overview's topics.
#   man_page.sh PAGE
set -euo pipefail
page=$1
fail() { echo "man_page: $*" >&2; exit 1; }
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) ||
  fail "man could not format $page"
[ -z "$out" ] || fail "groff warns about $page: $out"
text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null | col -b | tr -s ' ')
for want in "Moving" "Forwd(x)" "SelectColor(Farbe1, Farbe2, Nr, MaxNr)" "Output devices" \
            "OnStartPaint" "pkg-config --cflags --libs kritzelwerk"; do
  grep -qF -- "$want" <<<"$text" || fail "$page does not show \"$want\""
done
echo "man_page: $page formats cleanly and lists the commands"
