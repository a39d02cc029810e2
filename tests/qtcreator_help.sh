#!/usr/bin/env bash
# Starts Qt Creator with private settings, home and data folders (nothing set, as a
# pupil's first start) and waits until it has registered the Kritzel-Werk help file
# from Qt's documentation folder in its help collection, then stops it. Exits 77
# (skipped) when Qt Creator or sqlite3 is missing, unless KRITZEL_REQUIRE_ALL=1.
#   qtcreator_help.sh
set -uo pipefail
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/skip.sh" || exit 1
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/private-home.sh" || exit 1
qtcreator=$(command -v qtcreator) || skip_or_fail "Qt Creator (qtcreator) is not installed"
command -v sqlite3 >/dev/null || skip_or_fail "sqlite3 is not installed"
private_home
"$qtcreator" -settingspath "$settings" -noload Welcome >"$work/out" 2>"$work/log" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT
collection=$settings/QtProject/qtcreator/helpcollection.qhc
registered=
for _ in $(seq 900); do
  if [ -f "$collection" ]; then
    registered=$(sqlite3 "$collection" \
      "select FilePath from NamespaceTable where FilePath like '%/kritzelwerk.qch'" 2>/dev/null)
    [ -n "$registered" ] && break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$registered" ]; then
  echo "qtcreator_help: Qt Creator did not register kritzelwerk.qch; its log ends:" >&2
  tail -n 20 "$work/log" >&2
  exit 1
fi
echo "qtcreator_help: Qt Creator registered the help file ($registered)"
