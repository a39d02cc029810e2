#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds a pupil's program against it, once
# with CMake's find_package and once with a one-line compile through pkg-config; both
# programs must run and paint their window.
set -euo pipefail
build=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
pupil=$source_dir/examples/pupils/spiral.cpp

cmake -S "$source_dir/tests/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DPUPIL_SOURCE="$pupil" >/dev/null
cmake --build "$work/cmake-build" >/dev/null

libdir=$(find "$work/prefix" -name kritzelwerk.pc -printf '%h\n' | head -n1)
PKG_CONFIG_PATH=$libdir g++ -std=c++20 -fPIC "$pupil" -o "$work/spirale-pc" \
    $(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs kritzelwerk)

export QT_QPA_PLATFORM=offscreen KRITZEL_OUTPUT_DIR=$work/out
# Both programs find the library where it was installed, with nothing set.
unset LD_LIBRARY_PATH
"$work/cmake-build/spirale"
test -s "$work/out/Spirale.png"
rm "$work/out/Spirale.png"
"$work/spirale-pc"
test -s "$work/out/Spirale.png"
echo "installed package: both builds ran and painted"
