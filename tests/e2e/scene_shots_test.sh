#!/usr/bin/env bash
# A still from inside every scene shows that scene's art: a fair share of
# lit pixels, neighbouring pixels strongly alike (a picture, not noise) and
# at least 24 colours (not a flat fill).
# usage: scene_shots_test.sh ULVENOR_CAPTURE E2E_CHECK
CAPTURE=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"

# Scene, position inside it, least share of lit pixels (per mille of the
# 320x240 window, whose top and bottom 20 rows are always black). The
# strips fill only rows 80..159 of the picture, the skull a tenth of it.
# The title is taken before its fade to white at 250.
shots=(
  "intro-strip 150 150"
  "title 240 300"
  "skull 420 80"
  "spinning-models 950 300"
  "worm-strip 1150 150"
  "gargoyle 1400 150"
  "letter-wave 1850 300"
  "halftone 2040 150"
  "portraits 2230 200"
  "church-animation 2440 200"
  "greetings 2600 200"
  "outro-strip 2850 150"
)
args=()
for s in "${shots[@]}"; do
  read -r _ pos _ <<<"$s"
  args+=(--shot "$pos")
done
"$CAPTURE" --quiet --out "$E2E_TMP" "${args[@]}" || fail "capture --shot failed"

bad=0
for s in "${shots[@]}"; do
  read -r name pos least <<<"$s"
  read -r w h type lit corr colours < <("$CHECK" png "$E2E_TMP/shot-$pos.png") || fail "no shot at $pos"
  status=ok
  if [ "$w $h $type" != "320 240 2" ] || [ "$lit" -lt "$least" ] || [ "$corr" -lt 500 ] || [ "$colours" -lt 24 ]; then
    status=FAIL
    bad=$((bad + 1))
  fi
  printf '%-17s %4d: %4d per mille lit, neighbour correlation %4d/1000, %4d colours %s\n' \
    "$name" "$pos" "$lit" "$corr" "$colours" "$status"
done
[ "$bad" = 0 ] || fail "$bad scene(s) do not show their art"
