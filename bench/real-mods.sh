#!/usr/bin/env bash
# Collects real four-channel modules for bench_mixer --real_mods=DIR: the
# "M.K." files of Debian's game data packages, downloaded and unpacked
# without installing them (apt-get download, dpkg -x), one copy of each
# distinct file, named PACKAGE-FILE. With --render MODTOOL, each is also
# rendered through our replayer and mixer (the first 120 s) to DIR/wav/, for
# `mixfigures SONG.wav --real DIR/wav`.
#
#   bench/real-mods.sh [--render build/tools/modtool/modtool] [DIR]   (default build/real-mods)
#   build/bench/bench_mixer --benchmark_filter=none --real_mods=build/real-mods
set -e
cd "$(dirname "$0")/.."
modtool=
if [ "${1:-}" = --render ]; then
  modtool=$(realpath "$2")
  shift 2
fi
dir=$(realpath -m "${1:-build/real-mods}")
packages=(tecnoballz-data freedroid-data circuslinux-data madbomber-data gemdropx bugsquish
  ri-li-data rafkill-data bomberclone-data ironseed-data tuxmath-data black-box)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt-get download writes as its own user
mkdir -p "$dir"
(cd "$work" && apt-get download "${packages[@]}" >/dev/null)
for deb in "$work"/*.deb; do
  name=$(dpkg-deb -f "$deb" Package)
  dpkg -x "$deb" "$work/x-$name"
  find "$work/x-$name" -type f -iname '*.mod' | while read -r f; do
    [ "$(dd if="$f" bs=1 skip=1080 count=4 2>/dev/null)" = "M.K." ] || continue
    sum=$(sha256sum "$f" | cut -c1-16)
    grep -qx "$sum" "$work/sums" 2>/dev/null && continue
    echo "$sum" >>"$work/sums"
    cp "$f" "$dir/$name-$(basename "$f")"
  done
done
echo "$(ls "$dir"/*.mod "$dir"/*.MOD 2>/dev/null | wc -l) modules in $dir"
[ -n "$modtool" ] || exit 0
mkdir -p "$dir/wav"
for f in "$dir"/*; do
  [ -f "$f" ] || continue
  out="$dir/wav/$(basename "${f%.*}").wav"
  "$modtool" render "$f" -o "$out" --seconds 120 >/dev/null || { echo "could not render $f" >&2; rm -f "$out"; }
done
echo "$(ls "$dir/wav" | wc -l) renders in $dir/wav"
