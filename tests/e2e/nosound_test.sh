#!/usr/bin/env bash
# With no sound device the demo still runs on the silent clock: the picture
# follows the music (the first fade from black starts at position 32, about
# 3.8 s in), one line on standard error says there is no sound, and Escape
# ends it with status 0. A device that opens but asks for no more sound
# (SDL's disk driver told to wait 100 s per block: it plays no block, or one
# when its thread starts after the device is unpaused) is given up after
# 2 s: the silent clock plays instead, with one line on standard error, and
# SIGTERM still ends the run at once with status 0. A disk sound file that
# cannot be written is named in the line, with the system's reason.
# usage: nosound_test.sh ULVENOR E2E_CHECK
ULVENOR=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"
start_xvfb

SDL_AUDIODRIVER=nosuchdriver "$ULVENOR" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!
win=$(find_window "Ulvenor Tarquel" 20) || fail "no window titled \"Ulvenor Tarquel\""

# Black until the first fade; the strip scrolls in once it has begun. The
# times are fixed: the demo must also keep running for the 7 s.
sleep 1
early=$(grab "$win" "$E2E_TMP/early.png") || fail "cannot grab the screen"
sleep 5
late=$(grab "$win" "$E2E_TMP/late.png") || fail "cannot grab the screen"
sleep 1
grab "$win" "$E2E_TMP/later.png" >/dev/null || fail "cannot grab the screen"
kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended by itself"

press_escape "$win"
wait_exit "$DEMO_PID" 10 || fail "the demo did not end within 10 s of Escape"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "exit status $WAIT_STATUS"

read -r _ _ _ early_lit _ <<<"$early"
read -r _ _ _ late_lit _ <<<"$late"
[ "$early_lit" -le 5 ] || fail "the screen is not black before the first fade ($early_lit per mille lit)"
[ "$late_lit" -ge 50 ] || fail "the picture did not come up: the music position is not advancing ($late_lit per mille lit)"
cmp -s "$E2E_TMP/late.png" "$E2E_TMP/later.png" && fail "the picture stands still"

printf '\nUlvenor Tarquel!\n' >"$E2E_TMP/want"
cmp -s "$E2E_TMP/out" "$E2E_TMP/want" || fail "standard output is: $(od -c "$E2E_TMP/out" | head -5)"
[ "$(wc -l <"$E2E_TMP/err")" = 1 ] || fail "standard error should be one line: $(cat "$E2E_TMP/err")"
grep -qi "sound" "$E2E_TMP/err" || fail "standard error does not mention the sound: $(cat "$E2E_TMP/err")"
echo "silent clock: black at 1 s ($early_lit), picture at 6 s ($late_lit per mille lit), exit 0"

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/mute.raw" SDL_DISKAUDIODELAY=100000 \
  "$ULVENOR" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!
win=$(find_window "Ulvenor Tarquel" 20) || fail "mute device: no window"
for i in $(seq 60); do
  sleep 0.5
  mute=$(grab "$win" "$E2E_TMP/mute.png") || fail "cannot grab the screen"
  read -r _ _ _ mute_lit _ <<<"$mute"
  [ "$mute_lit" -ge 50 ] && break
done
[ "$mute_lit" -ge 50 ] || fail "mute device: the picture never came up ($mute_lit per mille lit)"
kill -TERM "$DEMO_PID"
wait_exit "$DEMO_PID" 10 || fail "mute device: SIGTERM did not end it within 10 s"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "mute device: exit status $WAIT_STATUS"
cmp -s "$E2E_TMP/out" "$E2E_TMP/want" || fail "mute device: standard output is: $(od -c "$E2E_TMP/out" | head -5)"
grep -v -e '^WARNING: You are using the SDL disk writer audio driver!$' -e '^ Writing to file \[.*\]\.$' \
  "$E2E_TMP/err" >"$E2E_TMP/err.own"
[ "$(wc -l <"$E2E_TMP/err.own")" = 1 ] || fail "mute device: standard error should be one line: $(cat "$E2E_TMP/err.own")"
grep -qi "sound" "$E2E_TMP/err.own" || fail "mute device: standard error does not mention the sound: $(cat "$E2E_TMP/err.own")"
echo "mute device given up: picture after $((i * 5)) ds ($mute_lit per mille lit), SIGTERM: exit 0"

# A disk sound file that cannot be made: the one line names it and why.
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/missing/sound.raw" \
  "$ULVENOR" >/dev/null 2>"$E2E_TMP/err" &
DEMO_PID=$!
for i in $(seq 100); do
  grep -q "no sound device" "$E2E_TMP/err" && break
  sleep 0.1
done
kill -TERM "$DEMO_PID"
wait_exit "$DEMO_PID" 10 || fail "unwritable disk sound file: SIGTERM did not end it within 10 s"
DEMO_PID=""
grep -v -e '^WARNING: You are using the SDL disk writer audio driver!$' "$E2E_TMP/err" >"$E2E_TMP/err.own"
want="Ulvenor Tarquel: no sound device (cannot write the disk sound file $E2E_TMP/missing/sound.raw: No such file or directory), the demo plays without sound"
[ "$(cat "$E2E_TMP/err.own")" = "$want" ] || fail "unwritable disk sound file: standard error is '$(cat "$E2E_TMP/err.own")'"
echo "unwritable disk sound file: named with the reason"
