#!/usr/bin/env bash
# The README as a new user follows it: its install line, its pupil's program and both
# of its build recipes (pkg-config and CMake) are taken out of README.md and run as
# written, against this build installed where the README says ($HOME/kritzelwerk, with
# HOME a scratch folder). Nothing is added: no standard flag, no path. Both programs
# must run without a display and paint their window; so must the installed demo.
#   installed_package.sh BUILD_DIR SOURCE_DIR PNG_INK
set -euo pipefail
build=$1
source_dir=$2
png_ink=$3
readme=$source_dir/README.md
block() { "$source_dir/tests/readme_block.sh" "$readme" "$@"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
mkdir -p "$HOME/spirale"
# Nothing of the caller's build environment reaches the recipes.
unset CXXFLAGS CPPFLAGS LDFLAGS PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM KRITZEL_OUTPUT_DIR QT_PLUGIN_PATH

# The install line; its "scripts/build" is the build this test belongs to, which the
# README's "build" names.
install=$(block "Building your own program" 1 sh)
case $install in
  "scripts/build && "*) install=${install#scripts/build && } ;;
  *) echo "installed_package: the README's install line no longer starts with scripts/build: $install" >&2
     exit 1 ;;
esac
ln -s "$build" "$work/build"
(cd "$work" && bash -euo pipefail -c "$install") >/dev/null
# The installed demo starts from where it lies, with nothing set.
"$HOME/kritzelwerk/bin/kritzelwerk-demo" --render "$work/demo" >/dev/null ||
  { echo "installed_package: the installed kritzelwerk-demo does not start" >&2; exit 1; }
ls "$work/demo"/*.png >/dev/null
# Only the public headers are installed: nothing of the host's internals, and no
# installed header includes one.
headers=$HOME/kritzelwerk/include/kritzelwerk
if [ ! -f "$headers/Turtle.h" ] || [ -e "$headers/host/internal" ] ||
   grep -rqsE '^[[:space:]]*#[[:space:]]*include.*internal/' "$headers"; then
  echo "installed_package: the installed headers are not the public ones alone" >&2
  exit 1
fi
[ -f "$work/demo/wiese.png" ] ||
  { echo "installed_package: the installed demo drew no lesson of arcs, fills and stamps" >&2; exit 1; }

block "A pupil's program" 1 cpp >"$HOME/spirale/spirale.cpp"
painted() {
  local png=$HOME/spirale/Spirale.png
  [ -f "$png" ] || { echo "installed_package: the $1 build wrote no Spirale.png" >&2; exit 1; }
  "$png_ink" "$png" 200 || { echo "installed_package: the $1 build's window is empty" >&2; exit 1; }
  rm "$png"
}

(cd "$HOME/spirale" && bash -euo pipefail -c "$(block "Building your own program" 2 sh)")
painted pkg-config

block "Building your own program" 1 cmake >"$HOME/spirale/CMakeLists.txt"
(cd "$HOME/spirale" && bash -euo pipefail -c "$(block "Building your own program" 3 sh)") >/dev/null
painted CMake

# The pupils' programs that come with the package build by the same recipe and run:
# steering paints its window, saving writes its SVG and PNG.
examples=$HOME/kritzelwerk/share/doc/kritzelwerk/examples
mkdir -p "$HOME/pupils"
for pupil in steer save; do
  [ -f "$examples/$pupil.cpp" ] || { echo "installed_package: no $examples/$pupil.cpp" >&2; exit 1; }
  (cd "$HOME/pupils" && export PKG_CONFIG_PATH=$HOME/kritzelwerk/lib/pkgconfig &&
     g++ "$examples/$pupil.cpp" $(pkg-config --cflags --libs kritzelwerk) -o "$pupil" &&
     ./"$pupil" >/dev/null) ||
    { echo "installed_package: the installed example $pupil.cpp does not build or run" >&2; exit 1; }
done
"$png_ink" "$HOME/pupils/Steuern.png" 1 ||
  { echo "installed_package: the steering program painted no window" >&2; exit 1; }
"$png_ink" "$HOME/pupils/blume.png" 200 && grep -q "<svg" "$HOME/pupils/blume.svg" ||
  { echo "installed_package: the saving program wrote no drawing" >&2; exit 1; }
echo "installed package: the README's program, built by both recipes, and the pupils' programs ran and painted"
