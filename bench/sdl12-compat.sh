#!/usr/bin/env bash
# Builds the demo against sdl12-compat (SDL 1.2 over SDL2) in its own folder,
# leaving the system's SDL 1.2 as it is: Debian's libsdl1.2-compat and
# libsdl1.2-compat-dev are downloaded (apt-get download, no install) and
# unpacked into DIR/sdl12-compat, a pkg-config file pointing there is
# written, and DIR is configured with it. The program finds the library
# through its build-tree run path; run it with
# LD_LIBRARY_PATH=DIR/sdl12-compat/lib to be sure.
# With --unpack it only unpacks the library (what the tests that run the
# demo on both SDL 1.2s need: the same executable loads it through
# LD_LIBRARY_PATH) and prints DIR/sdl12-compat/lib.
# usage: bench/sdl12-compat.sh [--unpack] [DIR]   (default build-compat; prints DIR/ulvenor)
set -eu
UNPACK_ONLY=0
if [ "${1:-}" = --unpack ]; then
  UNPACK_ONLY=1
  shift
fi
DIR=${1:-build-compat}
ROOT=$DIR/sdl12-compat
# shellcheck source=../setup.sh
. ./setup.sh
# It may run before anything else is installed (.ci/run calls it first).
ulv_setup "${ULV_COMPAT_PACKAGES[@]}" dpkg-dev >&2
ARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
if [ ! -f "$ROOT/lib/libSDL-1.2.so.0" ]; then
  rm -rf "$ROOT"
  mkdir -p "$ROOT/debs" "$ROOT/lib" "$ROOT/pkgconfig"
  # A clean machine may have no package lists yet: fetch them once.
  (cd "$ROOT/debs" && { apt-get download -q libsdl1.2-compat libsdl1.2-compat-dev ||
    { ulv_as_root apt-get update -q && apt-get download -q libsdl1.2-compat libsdl1.2-compat-dev; }; }) >&2
  for deb in "$ROOT"/debs/*.deb; do dpkg -x "$deb" "$ROOT/tree"; done
  # The packages' own libSDL.so points at a name only the system's
  # alternatives provide: link the unpacked library directly.
  cp -a "$ROOT/tree/usr/lib/$ARCH/sdl12-compat/"libSDL-1.2.so* "$ROOT/lib/"
  ln -sf libSDL-1.2.so.0 "$ROOT/lib/libSDL.so"
  abs=$(cd "$ROOT" && pwd)
  sed -e "s|^libdir=.*|libdir=$abs/lib|" -e "s|^includedir=.*|includedir=$abs/tree/usr/include|" \
    "$ROOT/tree/usr/lib/$ARCH/pkgconfig/sdl12_compat.pc" >"$ROOT/pkgconfig/sdl.pc"
fi
abs=$(cd "$ROOT" && pwd)
if [ "$UNPACK_ONLY" = 1 ]; then
  echo "$abs/lib"
  exit 0
fi
PKG_CONFIG_PATH="$abs/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}" \
  ULV_TARGETS=${ULV_TARGETS:-ulvenor} ulv_build "$DIR" -DCMAKE_BUILD_TYPE=Release -DULV_TESTS=OFF >&2
echo "$DIR/ulvenor"
