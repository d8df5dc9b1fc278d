#!/usr/bin/env bash
# Collects real four-channel modules for bench_mixer --real_mods=DIR: the
# "M.K." files of Debian's game data packages, downloaded and unpacked
# without installing them (apt-get download, dpkg -x), one copy of each
# distinct file, named PACKAGE-FILE.
#
#   bench/real-mods.sh [DIR]      (default build/real-mods)
#   build/bench/bench_mixer --benchmark_filter=none --real_mods=build/real-mods
set -e
cd "$(dirname "$0")/.."
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
echo "$(ls "$dir" | wc -l) modules in $dir"
