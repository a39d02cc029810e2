#!/usr/bin/env bash
# Pastes the clipboard of the X display in $DISPLAY into a new LibreOffice Draw drawing,
# as a user's Ctrl+V would, and prints what LibreOffice saw (see libreoffice/Paste.bas).
# LibreOffice runs invisibly with a fresh profile and its X11 backend, the one that
# reads the X clipboard (the headless backend has a clipboard of its own). Exits 77
# (skipped) when soffice is missing.
#   lo_paste.sh
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v soffice >/dev/null || { echo "lo_paste: soffice is not installed" >&2; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work
# A first start makes the profile with its empty macro module Standard.Module1, which
# then gets the pasting macro.
timeout 120 soffice "-env:UserInstallation=file://$work/profile" --headless \
  --terminate_after_init >"$work/log" 2>&1
module=$work/profile/user/basic/Standard/Module1.xba
[ -f "$module" ] || { echo "lo_paste: LibreOffice made no profile:" >&2; cat "$work/log" >&2; exit 1; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<!DOCTYPE script:module PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "module.dtd">'
  echo '<script:module xmlns:script="http://openoffice.org/2000/script" script:name="Module1" script:language="StarBasic">'
  sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' "$here/libreoffice/Paste.bas"
  echo '</script:module>'
} >"$module"
export KRITZEL_LO_OUT=$work/out SAL_USE_VCLPLUGIN=gen
timeout 120 soffice "-env:UserInstallation=file://$work/profile" --invisible --norestore \
  --nologo "macro:///Standard.Module1.Main" >"$work/log" 2>&1
rc=$?
if [ ! -s "$work/out" ]; then
  echo "lo_paste: LibreOffice wrote nothing (exit $rc):" >&2
  cat "$work/log" >&2
  exit 1
fi
cat "$work/out"
