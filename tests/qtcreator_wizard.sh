#!/usr/bin/env bash
# Starts Qt Creator with private settings, home and data folders, and waits until it
# reports the Kritzel-Werk wizard found and parsed (-customwizard-verbose), then stops
# it. With a wizard folder given, that folder is installed the per-user way, into the
# private settings' templates/wizards; without one, the system's shared wizard folder
# must hold it. Exits 77 (skipped) when Qt Creator is missing, unless
# KRITZEL_REQUIRE_ALL=1.
#   qtcreator_wizard.sh [WIZARD_DIR]
set -uo pipefail
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/skip.sh" || exit 1
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/private-home.sh" || exit 1
qtcreator=$(command -v qtcreator || true)
[ -n "$qtcreator" ] || skip_or_fail "Qt Creator (qtcreator) is not installed"
private_home
if [ $# -ge 1 ]; then
  # Qt Creator's per-user folder lies beside its settings (~/.config/QtProject/qtcreator).
  wizard=$settings/QtProject/qtcreator/templates/wizards/projects/kritzelwerk-stunde
  mkdir -p "$(dirname "$wizard")"
  cp -r "$1" "$wizard"
else
  wizard=/usr/share/qtcreator/templates/wizards/projects/kritzelwerk-stunde
fi
"$qtcreator" -settingspath "$settings" -customwizard-verbose -noload Welcome \
  >"$work/out" 2>"$work/log" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT
checking="Checking \"$wizard\" for wizard.json."
verdict=
for _ in $(seq 1200); do
  verdict=$(grep -F -A1 "$checking" "$work/log" | sed -n 2p)
  [ -n "$verdict" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$verdict" != "* Configuration found and parsed." ]; then
  echo "qtcreator_wizard: Qt Creator did not parse the wizard in $wizard; it said:" >&2
  grep -F -A3 "$wizard" "$work/log" >&2 || tail -n 20 "$work/log" >&2
  exit 1
fi
echo "qtcreator_wizard: Qt Creator found and parsed the wizard in $wizard"
