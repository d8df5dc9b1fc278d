#!/usr/bin/env bash
# The sound ulvenor-capture writes is the sound the demo plays: the first
# 30 s of the capture's audio.wav equal, byte for byte, what the real-time
# demo hands SDL's disk audio driver. The disk driver writes one 4096-frame
# block per callback, silent blocks while the device is still paused, and
# waits SDL_DISKAUDIODELAY ms between blocks; with 0 the music runs as fast
# as the mixer can make it and the demo reaches its end (position 3000) by
# itself.
# usage: audio_identity_test.sh ULVENOR ULVENOR_CAPTURE E2E_CHECK
ULVENOR=$1
CAPTURE=$2
CHECK=$3
source "$(dirname "$0")/lib.sh"

BYTES=$((30 * 44100 * 4))
mkdir -p "$E2E_TMP/cap"
# Position 500 is 35 s into the music (64 rows of 0.110 s per order).
"$CAPTURE" --quiet --out "$E2E_TMP/cap" --to 500 --fps 5 || fail "capture failed"

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/disk.raw" SDL_DISKAUDIODELAY=0 \
  "$ULVENOR" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!
wait_exit "$DEMO_PID" 240 || fail "the demo did not reach its end within 240 s"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "exit status $WAIT_STATUS"

size=$(stat -c %s "$E2E_TMP/disk.raw")
[ "$size" -ge "$BYTES" ] || fail "the disk driver wrote only $size bytes"
off=$("$CHECK" same-audio "$E2E_TMP/disk.raw" "$E2E_TMP/cap/audio.wav" "$BYTES" 16384) ||
  fail "the first 30 s of sound differ between the demo and the capture"
echo "first 30 s identical; the demo's sound starts at byte $off of $size (after $((off / 16384)) silent blocks)"
