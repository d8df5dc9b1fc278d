#!/usr/bin/env bash
# Prints the figures the art and the music are judged by, measured on what
# the build made: the skull and gargoyle frames against their shading
# pictures (correlation, clipping, median luminance, from capture stills)
# and the module's render (loudness, band shares, side/mid, flash-row contrast, the
# worm section's centroid, clipping).
# usage: tools/assetgen/figures.sh [BUILD_DIR]   (a build with -DULV_TESTS=ON
# makes BUILD_DIR/assets/nothing.wav; otherwise `ninja ulv_nothing_wav`)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
wav="$build/assets/nothing.wav"
[ -f "$wav" ] || ninja -C "$build" ulv_nothing_wav >/dev/null
echo "== pictures"
tools/artfigures/figures.sh "$build"
echo "== music"
"$build/tools/mixfigures/mixfigures" "$wav" --flashes
