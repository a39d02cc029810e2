# Sourced by the shell tests that start Qt Creator: a private home, settings and data
# folders under a new temporary folder, and no display, so that nothing of the machine's
# or the user's own set-up takes part (as at a pupil's first start).
#   private_home        sets work (the temporary folder, for the caller to remove) and
#                       settings (the folder for -settingspath)
private_home() {
  work=$(mktemp -d)
  settings=$work/settings
  export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
  export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_DISPLAY
}
