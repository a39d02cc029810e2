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
echo "installed package: the README's program, built by both recipes, ran and painted"
