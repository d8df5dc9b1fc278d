#!/usr/bin/env bash
# Makes the README's screenshots from the build: one still of the capture
# tool (ulvenor-capture --shot POS, the whole 320x240 window) for every
# picture of the README's Screenshots table, at the position its caption
# names ("title (240)" under docs/shots/title.png). The table is the one
# list: add a picture there and this script makes it.
# usage: docs/shots/make.sh [BUILD_DIR [OUT_DIR]]   (defaults: build, docs/shots)
# ULV_CAPTURE, when set, is the capture tool to run instead of BUILD_DIR's.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/shots}
capture=${ULV_CAPTURE:-$build/tools/capture/ulvenor-capture}

# The table alternates a row of pictures and a row of their captions.
names=() positions=()
table=$(sed -n '/^## Screenshots/,/^## /p' "$root/README.md")
while IFS= read -r line; do
  if [[ $line == *'](docs/shots/'* ]]; then
    mapfile -t row < <(grep -o '](docs/shots/[a-z0-9_-]*\.png)' <<<"$line" | sed 's/^](docs\/shots\///; s/\.png)$//')
    names+=("${row[@]}")
  elif [ ${#names[@]} -gt ${#positions[@]} ]; then
    mapfile -t row < <(grep -o '([0-9]*)' <<<"$line" | tr -d '()')
    positions+=("${row[@]}")
  fi
done <<<"$table"
if [ ${#names[@]} = 0 ] || [ ${#names[@]} != ${#positions[@]} ]; then
  echo "make.sh: README.md's Screenshots table names ${#names[@]} pictures and ${#positions[@]} positions" >&2
  exit 1
fi

mkdir -p "$out"
# The stills land in a folder of their own beside the pictures, then each is
# renamed into place: a picture is replaced whole or not at all.
tmp=$(mktemp -d "$out/.shots.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
shots=()
for p in "${positions[@]}"; do shots+=(--shot "$p"); done
"$capture" --out "$tmp" "${shots[@]}" --quiet
for i in "${!names[@]}"; do
  mv "$tmp/shot-${positions[$i]}.png" "$out/${names[$i]}.png"
  echo "$out/${names[$i]}.png: position ${positions[$i]}"
done
