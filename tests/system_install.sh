#!/usr/bin/env bash
# Where `cmake --install` puts things for a system prefix, staged with DESTDIR so the
# machine is not touched: below /usr and /usr/local the Designer plugin goes to Qt's own
# plugin folder and the wizard to Qt Creator's shared one; the rest lies below the
# prefix, where pkg-config and find_package look.
#   system_install.sh BUILD_DIR
set -euo pipefail
build=$1
plugins=$(qtpaths6 --plugin-dir 2>/dev/null || /usr/lib/qt6/bin/qtpaths6 --plugin-dir)
docs=$(qtpaths6 --query QT_INSTALL_DOCS 2>/dev/null || /usr/lib/qt6/bin/qtpaths6 --query QT_INSTALL_DOCS)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "system_install: $*" >&2; exit 1; }
for prefix in /usr /usr/local; do
  stage=$work/stage$(tr / _ <<<"$prefix")
  DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
  plugin=$stage$plugins/designer/libkritzelwerk_designer.so
  [ -f "$plugin" ] || fail "installing into $prefix put no plugin into $plugins/designer"
  [ -f "$stage/usr/share/qtcreator/templates/wizards/projects/kritzelwerk-stunde/wizard.json" ] ||
    fail "installing into $prefix put no wizard into /usr/share/qtcreator/templates/wizards"
  pc=$(find "$stage$prefix/lib" -path '*/pkgconfig/kritzelwerk.pc' | head -n1)
  [ -n "$pc" ] || fail "installing into $prefix put no kritzelwerk.pc below $prefix/lib"
  cfg=$(find "$stage$prefix/lib" -path '*/cmake/Kritzelwerk/KritzelwerkConfig.cmake' | head -n1)
  [ -n "$cfg" ] || fail "installing into $prefix put no CMake package below $prefix/lib"
  [ -f "$stage$docs/kritzelwerk.qch" ] ||
    fail "installing into $prefix put no help file into Qt's documentation folder $docs"
  # The Python module where Debian's python3 looks with nothing set.
  case $prefix in
    /usr) pydir=/usr/lib/python3/dist-packages ;;
    *) pydir=$prefix/lib/python3.$(/usr/bin/python3 -c 'import sys; print(sys.version_info[1])')/dist-packages ;;
  esac
  [ -f "$stage$pydir/kritzelwerk/turtle.py" ] && ls "$stage$pydir"/kritzelwerk/_core.*.so >/dev/null 2>&1 ||
    fail "installing into $prefix put no Python module into $pydir"
  /usr/bin/python3 -c "import sys; sys.exit('$pydir' not in sys.path)" ||
    fail "Debian's python3 does not look in $pydir"
  # Nothing else strays outside the prefix.
  stray=$(cd "$stage" && find . -type f | sed 's|^\.||' |
          grep -v -e "^$prefix/" -e "^$plugins/designer/" -e '^/usr/share/qtcreator/' \
                  -e "^$docs/kritzelwerk.qch$" || true)
  [ -z "$stray" ] || fail "installing into $prefix put files outside it: $stray"
done
echo "system_install: plugin, wizard, help file and Python module go where Designer, Qt Creator and python3 look, for /usr and /usr/local"
