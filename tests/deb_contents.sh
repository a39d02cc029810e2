#!/usr/bin/env bash
# Looks into the Debian package: its version, the Designer plugin in Qt's own plugin
# folder, the Qt Creator wizard in Qt Creator's shared folder, the help file in Qt's
# documentation folder, the reference, manual page, examples and menu entry, no path of the tree it
# was built in inside any file, and no error from lintian. Exits 77 (skipped) when
# lintian is missing, unless KRITZEL_REQUIRE_ALL=1.
#   deb_contents.sh DEB VERSION TREE...
set -euo pipefail
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/skip.sh" || exit 1
deb=$1
version=$2
shift 2
fail() { echo "deb_contents: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "no package $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
plugins=$(qtpaths6 --plugin-dir 2>/dev/null || /usr/lib/qt6/bin/qtpaths6 --plugin-dir)
docs=$(qtpaths6 --query QT_INSTALL_DOCS 2>/dev/null || /usr/lib/qt6/bin/qtpaths6 --query QT_INSTALL_DOCS)
for want in ".$plugins/designer/libkritzelwerk_designer.so" \
            "./usr/share/qtcreator/templates/wizards/projects/kritzelwerk-stunde/wizard.json" \
            "./usr/share/qtcreator/templates/wizards/projects/kritzelwerk-stunde/icon.png" \
            ".$docs/kritzelwerk.qch" "./usr/share/doc/kritzelwerk/html/index.html" \
            "./usr/share/man/man7/kritzelwerk.7.gz" "./usr/share/doc/kritzelwerk/examples/spiral.cpp" \
            "./usr/share/applications/kritzelwerk-demo.desktop" \
            "./usr/share/icons/hicolor/48x48/apps/kritzelwerk-demo.png" \
            "./usr/lib/python3/dist-packages/kritzelwerk/__init__.py" \
            "./usr/lib/python3/dist-packages/kritzelwerk/turtle.py" \
            "./usr/share/doc/kritzelwerk/examples/python/stern.py" \
            "./usr/bin/kritzelwerk-vergleich" "./usr/share/man/man1/kritzelwerk-vergleich.1.gz"; do
  grep -qxF "$want" <<<"$files" || fail "$want is not in the package; it holds:
$files"
done

grep -qE '^\./usr/lib/python3/dist-packages/kritzelwerk/_core\.cpython-[^/]*\.so$' <<<"$files" ||
  fail "the Python module's extension is not in /usr/lib/python3/dist-packages/kritzelwerk"
grep -qE '(^|, )python3 \(>= ' <<<"$(dpkg-deb -f "$deb" Depends)" ||
  fail "the package does not depend on python3: $(dpkg-deb -f "$deb" Depends)"
# The grader confines pupils' programs with bubblewrap.
grep -qE '(^|, )bubblewrap(,|$| )' <<<"$(dpkg-deb -f "$deb" Depends)" ||
  fail "the package does not depend on bubblewrap: $(dpkg-deb -f "$deb" Depends)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
for tree in "$@"; do
  if grep -rlF "$tree" "$work/root" >"$work/found"; then
    fail "these files name the build folder $tree: $(sed "s|$work/root||" "$work/found" | tr '\n' ' ')"
  fi
done

command -v lintian >/dev/null 2>&1 || skip_or_fail "lintian is not installed" "its check"
lintian --no-tag-display-limit "$deb" >"$work/lintian" 2>&1 || true
if grep '^E:' "$work/lintian" >&2; then
  fail "lintian reports errors"
fi
grep '^W:' "$work/lintian" || true
echo "deb_contents: $(basename "$deb") holds the plugin, the wizard and the help file where Qt looks, the documentation and the menu entry, and lintian finds no error"
