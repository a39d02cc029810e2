#!/usr/bin/env bash
# Starts Qt Designer on the display given (run it under scripts/with-xvfb) with the
# plugins of a build, waits until Designer has loaded the Kritzel-Werk plugin, then stops
# Designer. With --system, Designer gets no QT_PLUGIN_PATH and must find the installed
# plugin in Qt's own plugin folder. Exits 77 (skipped) when Designer is missing, unless
# KRITZEL_REQUIRE_ALL=1.
#   designer_plugin.sh PLUGINS_DIR | --system
set -uo pipefail
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../scripts/lib/skip.sh" || exit 1
plugins=$1
if [ "$plugins" = --system ]; then
  plugins=$(qtpaths6 --plugin-dir 2>/dev/null || /usr/lib/qt6/bin/qtpaths6 --plugin-dir)
  unset QT_PLUGIN_PATH
else
  export QT_PLUGIN_PATH=$plugins
fi
designer=""
for candidate in /usr/lib/qt6/bin/designer "$(command -v designer6 2>/dev/null)"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { designer=$candidate; break; }
done
[ -n "$designer" ] || skip_or_fail "Qt Designer (designer-qt6) is not installed"
plugin=$plugins/designer/libkritzelwerk_designer.so
[ -f "$plugin" ] || { echo "designer_plugin: no plugin at $plugin" >&2; exit 1; }
work=$(mktemp -d)
# Designer keeps its settings in the home folder: give it a fresh one.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
QT_DEBUG_PLUGINS=1 "$designer" >"$work/out" 2>"$work/log" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT
loaded="\"$plugin\" loaded library"
for _ in $(seq 300); do
  grep -qF "$loaded" "$work/log" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -qF "$loaded" "$work/log"; then
  echo "designer_plugin: Designer did not load $plugin; its plugin log:" >&2
  grep -F "$plugins" "$work/log" >&2
  tail -n 20 "$work/log" >&2
  exit 1
fi
# Give Designer a moment to create the widget box from the plugin, then look for
# complaints about it.
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
  echo "designer_plugin: Designer ended after loading the plugin:" >&2
  tail -n 20 "$work/log" >&2
  exit 1
fi
if grep -iE "kritzel.*(error|fail|cannot)|(error|fail|cannot).*kritzel" "$work/log" >&2; then
  echo "designer_plugin: Designer reported problems with the plugin" >&2
  exit 1
fi
echo "designer_plugin: Designer loaded $plugin"
