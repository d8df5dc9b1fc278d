#!/usr/bin/env bash
# A still from inside every scene shows that scene's art: a fair share of
# lit pixels, neighbouring pixels strongly alike (a picture, not noise) and
# at least 24 colours (not a flat fill). The stills are those of the list,
# taken at 50 frames per second by whole_presentation's drawing of the whole
# demo (ulvenor-capture --bench --shot), which empties STILLS_DIR first.
# usage: scene_shots_test.sh LIST STILLS_DIR E2E_CHECK
LIST=$1
STILLS=$2
CHECK=$3
source "$(dirname "$0")/lib.sh"

mapfile -t shots < <(grep -v '^#' "$LIST")
[ "${#shots[@]}" -ge 12 ] || fail "only ${#shots[@]} stills listed in $LIST"
bad=0
for s in "${shots[@]}"; do
  read -r name pos least <<<"$s"
  read -r w h type lit corr colours < <("$CHECK" png "$STILLS/shot-$pos.png") || fail "no shot at $pos"
  status=ok
  if [ "$w $h $type" != "320 240 2" ] || [ "$lit" -lt "$least" ] || [ "$corr" -lt 500 ] || [ "$colours" -lt 24 ]; then
    status=FAIL
    bad=$((bad + 1))
  fi
  printf '%-17s %4d: %4d per mille lit, neighbour correlation %4d/1000, %4d colours %s\n' \
    "$name" "$pos" "$lit" "$corr" "$colours" "$status"
done
[ "$bad" = 0 ] || fail "$bad scene(s) do not show their art"
