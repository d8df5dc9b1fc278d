#!/usr/bin/env bash
# The demo in a real window: title, size, sound through SDL's disk driver,
# Escape ends it with status 0 and the banner is all it prints.
# usage: window_test.sh ULVENOR E2E_CHECK
ULVENOR=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"
start_xvfb

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/sound.raw" \
  "$ULVENOR" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!

win=$(find_window "Ulvenor Tarquel" 20) || fail "no window titled \"Ulvenor Tarquel\""
[ "$(xdotool getwindowname "$win")" = "Ulvenor Tarquel" ] || fail "title is '$(xdotool getwindowname "$win")'"
geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/^ *Geometry: *//p')
[ "$geometry" = "320x240" ] || fail "window is $geometry, not 320x240"

sleep 3
kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended by itself"
press_escape "$win"
wait_exit "$DEMO_PID" 10 || fail "the demo did not end within 10 s of Escape"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "exit status $WAIT_STATUS"

printf '\nUlvenor Tarquel!\n' >"$E2E_TMP/want"
cmp -s "$E2E_TMP/out" "$E2E_TMP/want" || fail "standard output is: $(od -c "$E2E_TMP/out" | head -5)"
# SDL's disk driver announces itself on standard error; nothing else may.
grep -v -e '^WARNING: You are using the SDL disk writer audio driver!$' -e '^ Writing to file \[.*\]\.$' \
  "$E2E_TMP/err" >"$E2E_TMP/err.own"
[ -s "$E2E_TMP/err.own" ] && fail "standard error: $(head -3 "$E2E_TMP/err.own")"

bytes=$(stat -c %s "$E2E_TMP/sound.raw")
[ "$bytes" -ge $((4096 * 4 * 4)) ] || fail "only $bytes bytes of sound"
loud=$("$CHECK" nonsilent "$E2E_TMP/sound.raw") || fail "cannot read the sound"
[ "$loud" -gt 44100 ] || fail "the sound is silent ($loud non-zero samples in $bytes bytes)"
echo "window 320x240, exit 0, $bytes bytes of sound, $loud non-zero samples"
