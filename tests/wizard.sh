#!/usr/bin/env bash
# The Qt Creator wizard of an installed build: its files are generated as Qt Creator
# does for a project named Stunde1 (each %{ProjectName} filled in), then the project is
# built against the installed package and run without a display; its window must show
# the first drawing.
#   wizard.sh BUILD_DIR PNG_INK
set -euo pipefail
build=$1
png_ink=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
wizard=$prefix/share/qtcreator/templates/wizards/projects/kritzelwerk-stunde
project=$work/Stunde1
mkdir -p "$project"
# The files the wizard's generator names, with their fields filled.
sources=$(sed -n 's/.*"source": *"\([^"]*\)".*/\1/p' "$wizard/wizard.json")
[ -n "$sources" ] || { echo "wizard: wizard.json names no files" >&2; exit 1; }
for f in $sources; do
  sed 's/%{ProjectName}/Stunde1/g' "$wizard/$f" >"$project/$f"
done
if grep -n '%{' "$project"/*; then
  echo "wizard: fields above are left that this test does not fill as Qt Creator would" >&2
  exit 1
fi
unset CXXFLAGS CPPFLAGS LDFLAGS CMAKE_PREFIX_PATH LD_LIBRARY_PATH
cmake -S "$project" -B "$project/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$project/build" >/dev/null
(cd "$project" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KRITZEL_OUTPUT_DIR \
   ./build/Stunde1 >/dev/null)
# The turtle fills the window: white (its background) in every corner.
"$png_ink" "$project/Stunde1.png" 200 "#ffffff"
echo "wizard: the generated project Stunde1 built, ran and drew"
