#!/usr/bin/env bash
# Installs the Debian package on this machine with apt-get, as a school's
# administrator would, and checks the lesson's tools with nothing set: a pupil's program
# builds with pkg-config and with CMake and paints, Designer loads the plugin without
# QT_PLUGIN_PATH, Qt Creator parses the wizard and registers the help file, `man
# kritzelwerk` finds the manual page. Then removes the package with apt-get
# and checks that none of its files is left. The package is removed even when a check
# fails, so the machine stays as it was; it stays installed for as short as the checks
# take. Needs root; exits 77 (skipped) without it, or when a kritzelwerk package is
# installed already (not ours to replace), unless KRITZEL_REQUIRE_ALL=1.
#   deb_install.sh DEB SOURCE_DIR PNG_INK
set -uo pipefail
deb=$(realpath "$1")
source_dir=$2
png_ink=$3
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/skip.sh" || exit 1
fail() { echo "deb_install: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || skip_or_fail "installing a package needs root"
command -v apt-get >/dev/null || skip_or_fail "there is no apt-get"
[ -f "$deb" ] || fail "no package $deb"

# One package test on this machine at a time, whichever tree it comes from.
exec 9>/tmp/kritzelwerk-deb-install.lock
flock -w 900 9 || fail "another package test holds /tmp/kritzelwerk-deb-install.lock"
# A run that was killed before it could clean up leaves this mark with its package.
mark=/var/tmp/kritzelwerk-deb-install.mark
status=$(dpkg-query -W -f='${Status}' kritzelwerk 2>/dev/null || true)
if [ -f "$mark" ] && [ -n "$status" ]; then
  echo "deb_install: removing the package an interrupted run left installed" >&2
  apt-get remove -y -qq -o DPkg::Lock::Timeout=300 kritzelwerk >/dev/null 2>&1
  dpkg --purge kritzelwerk >/dev/null 2>&1
  status=$(dpkg-query -W -f='${Status}' kritzelwerk 2>/dev/null || true)
fi
rm -f "$mark"
case $status in
  *" installed"|*unpacked|*half-*|*triggers-*)
    skip_or_fail "a kritzelwerk package is installed already ($status); remove it first" ;;
esac

work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    apt-get remove -y -qq -o DPkg::Lock::Timeout=300 kritzelwerk >/dev/null 2>&1 ||
      echo "deb_install: could not remove kritzelwerk again: run apt-get remove kritzelwerk" >&2
    dpkg --purge kritzelwerk >/dev/null 2>&1
  fi
  rm -f "$mark"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The package's own files (not the folders it shares with others).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}' >"$work/files"

export DEBIAN_FRONTEND=noninteractive
installed=1
touch "$mark"
apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install $deb failed"; }

# Nothing of the caller's build environment reaches the checks.
unset CXXFLAGS CPPFLAGS LDFLAGS PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH QT_PLUGIN_PATH
export HOME=$work/home
mkdir -p "$HOME/spirale"
cd "$HOME/spirale"
"$source_dir/tests/readme_block.sh" "$source_dir/README.md" "A pupil's program" 1 cpp >spirale.cpp
"$source_dir/tests/readme_block.sh" "$source_dir/README.md" "Building your own program" 1 cmake \
  >CMakeLists.txt
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KRITZEL_OUTPUT_DIR "$1" >/dev/null ||
    fail "$1 did not run"
  "$png_ink" Spirale.png 200 || fail "$1 painted nothing"
  rm Spirale.png
}
g++ spirale.cpp $(pkg-config --cflags --libs kritzelwerk) -o spirale-pc || fail "pkg-config build"
run ./spirale-pc
{ cmake -S . -B build >/dev/null && cmake --build build >/dev/null; } || fail "CMake build"
run ./build/spirale
# The build tool CMake generated for must come with the package, not only as a
# recommendation of CMake's, which an install without recommendations leaves out.
tool=$(sed -n 's/^CMAKE_MAKE_PROGRAM:[A-Z]*=//p' build/CMakeCache.txt)
owner=$(dpkg -S "$tool" 2>/dev/null || dpkg -S "$(realpath "$tool")" 2>/dev/null)
owner=${owner%%:*}
[ -n "$owner" ] || fail "no Debian package holds the build tool $tool"
depends=$(dpkg-deb -f "$deb" Depends)
grep -qE "(^|[ ,|])$owner([ ,(|]|\$)" <<<"$depends" ||
  fail "the package does not depend on $owner, which holds the build tool $tool: $depends"
"$source_dir/scripts/with-xvfb" "$source_dir/tests/designer_plugin.sh" --system ||
  fail "Designer did not load the installed plugin"
"$source_dir/tests/qtcreator_wizard.sh" || fail "Qt Creator did not parse the installed wizard"
"$source_dir/tests/qtcreator_help.sh" || fail "Qt Creator did not register the installed help file"
[ "$(man -w kritzelwerk 2>/dev/null)" = /usr/share/man/man7/kritzelwerk.7.gz ] ||
  fail "man kritzelwerk does not find the manual page kritzelwerk(7)"
# The Python module as a new user meets it: Debian's python3 with nothing set finds the
# installed one, the README's script draws, and the module's suites pass against it.
newuser=(env -u PYTHONPATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KRITZEL_OUTPUT_DIR)
found=$("${newuser[@]}" /usr/bin/python3 -c 'import kritzelwerk.turtle, kritzelwerk; print(kritzelwerk.__file__)') ||
  fail "python3 does not import the installed module kritzelwerk"
[ "$found" = /usr/lib/python3/dist-packages/kritzelwerk/__init__.py ] ||
  fail "python3 imports kritzelwerk from $found, not from the package"
"$source_dir/tests/readme_block.sh" "$source_dir/README.md" "From Python" 2 python >quadrat.py
"${newuser[@]}" /usr/bin/python3 quadrat.py >/dev/null || fail "the README's Python script did not run"
"$png_ink" Quadrat.png 200 || fail "the README's Python script painted nothing"
[ -s quadrat.svg ] || fail "the README's Python script saved no quadrat.svg"
env -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 "$source_dir/scripts/with-xvfb" /usr/bin/python3 -m pytest \
  -q -p no:cacheprovider "$source_dir/python/tests/test_module.py" \
  "$source_dir/python/tests/test_turtle_compat.py" >"$work/pytest.log" 2>&1 ||
  { cat "$work/pytest.log" >&2; fail "the Python module's suites fail against the package"; }

cd /
apt-get remove -y -qq -o DPkg::Lock::Timeout=300 kritzelwerk >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "apt-get remove kritzelwerk failed"; }
installed=0
# An administrator expects nothing of a removed package to be listed, not even as "rc".
status=$(dpkg-query -W -f='${db:Status-Abbrev}' kritzelwerk 2>/dev/null || true)
dpkg --purge kritzelwerk >/dev/null 2>&1
rm -f "$mark"
[ -z "$status" ] || fail "after apt-get remove, dpkg still lists kritzelwerk as '$status'"
left=()
while IFS= read -r f; do
  [ -e "$f" ] || [ -L "$f" ] && left+=("$f")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "apt-get remove left ${left[*]}"
echo "deb_install: installed, used with nothing set, and removed without a trace"
