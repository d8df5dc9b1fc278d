#!/usr/bin/env bash
# The demo on one SDL 1.2, classic or sdl12-compat (SDL 1.2 over SDL 2):
# from --scale 2, F11 makes the window the whole screen from its top left
# corner, the picture centred on black and nothing of it cut, and Alt+Enter
# brings back the 640x480 window, whole on the screen; a sound device that
# never plays is given up with its one line. Given LIBDIR (sdl12-compat
# unpacked by bench/sdl12-compat.sh --unpack) the demo loads its SDL 1.2 from
# there, and with no display at all it must end by itself with a one-line
# refusal (classic SDL 1.2 draws in the terminal instead: see the README).
# usage: sdl12_test.sh ULVENOR E2E_CHECK [LIBDIR]
ULVENOR=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"
use_sdl12 "${3:-}"
# SDL 2 says this itself when it looks for Wayland without a runtime folder.
sdl2_noise='^error: XDG_RUNTIME_DIR is invalid or not set in the environment\.$'

# The SDL 1.2 that process $1 loaded must be the one asked for.
check_library() {
  local lib
  lib=$(grep -o '/[^ ]*libSDL-1\.2\.so[^ ]*' "/proc/$1/maps" | head -n 1)
  [ -n "$lib" ] || fail "$2: no SDL 1.2 in the process"
  if [ -n "$LIBDIR" ]; then
    [ "$(dirname "$lib")" = "$LIBDIR" ] || fail "$2: SDL 1.2 loaded from $lib, not $LIBDIR"
  else
    case $lib in *sdl12-compat*) fail "$2: sdl12-compat loaded ($lib)" ;; esac
  fi
}

if [ -n "$LIBDIR" ]; then
  env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "$ULVENOR" </dev/null >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
  DEMO_PID=$!
  wait_exit "$DEMO_PID" 20 || fail "no display: still running after 20 s"
  DEMO_PID=""
  [ "$WAIT_STATUS" = 1 ] || fail "no display: exit status $WAIT_STATUS, not 1"
  grep -v -e "$sdl2_noise" "$E2E_TMP/err" >"$E2E_TMP/err.own"
  [ "$(wc -l <"$E2E_TMP/err.own")" = 1 ] || fail "no display: standard error should be one line: $(cat "$E2E_TMP/err.own")"
  grep -q '^ulvenor: no display to show the demo on ' "$E2E_TMP/err.own" ||
    fail "no display: standard error is: $(cat "$E2E_TMP/err.own")"
  echo "no display: refused in one line, exit 1"
fi

# The screen is 1280x1024: full screen is scale 4, the 1280x960 area 32
# rows down, its picture rows 32 + 80 to 32 + 880.
start_xvfb 1280x1024
SDL_AUDIODRIVER=dummy "$ULVENOR" --scale 2 >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!
win=$(find_window "Ulvenor Tarquel" 20) || fail "no window"
check_library "$DEMO_PID" "--scale 2"
wait_size "$win" 10 640x480 || fail "--scale 2: the window is $(window_size "$win")"
wait_lit "$win" "$E2E_TMP/window.png" 100 30 || fail "the picture did not come up ($LIT per mille lit)"

# Prints the top left corner of window $1 on the screen as X,Y.
corner() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x "," y}'
}

press_key "$win" F11
win=$(wait_new_size 1280x1024 20) || fail "no 1280x1024 window in full screen"
[ "$(corner "$win")" = 0,0 ] || fail "the full-screen window starts at $(corner "$win"), not 0,0"
wait_lit root "$E2E_TMP/full.png" 50 10 || fail "full screen shows no picture ($LIT per mille lit)"
full_lit=$LIT
out=$("$CHECK" black-outside "$E2E_TMP/full.png" 0 112 1280 800) || fail "full screen: outside the picture $out"

press_key "$win" alt+Return
win=$(wait_new_size 640x480 20) || fail "no 640x480 window back from full screen"
IFS=, read -r x y <<<"$(corner "$win")"
if [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + 640)) -gt 1280 ] || [ $((y + 480)) -gt 1024 ]; then
  fail "back from full screen the window at $x,$y is not all on the screen"
fi
wait_lit "$win" "$E2E_TMP/back.png" 50 10 || fail "back from full screen: no picture ($LIT per mille lit)"
kill -TERM "$DEMO_PID"
wait_exit "$DEMO_PID" 10 || fail "SIGTERM did not end it within 10 s"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "exit status $WAIT_STATUS after SIGTERM"
grep -v -e "$sdl2_noise" "$E2E_TMP/err" >"$E2E_TMP/err.own"
[ -s "$E2E_TMP/err.own" ] && fail "standard error: $(head -3 "$E2E_TMP/err.own")"
echo "--scale 2, F11: 1280x1024 at 0,0, picture centred on black ($full_lit per mille lit); Alt+Enter: 640x480 at $x,$y"

# A device that opens but plays nothing (SDL's disk driver waiting 100 s a
# block), without a picture: given up after 2 s, in one line.
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/mute.raw" SDL_DISKAUDIODELAY=100000 \
  "$ULVENOR" >/dev/null 2>"$E2E_TMP/err" &
DEMO_PID=$!
want="Ulvenor Tarquel: the sound device does not play, the demo goes on without sound"
for i in $(seq 150); do
  grep -qxF "$want" "$E2E_TMP/err" && break
  sleep 0.1
done
check_library "$DEMO_PID" "mute device"
grep -qxF "$want" "$E2E_TMP/err" || fail "mute device: no word after 15 s; standard error: $(cat "$E2E_TMP/err")"
kill -TERM "$DEMO_PID"
wait_exit "$DEMO_PID" 10 || fail "mute device: SIGTERM did not end it within 10 s"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "mute device: exit status $WAIT_STATUS after SIGTERM"
echo "mute device: given up with its line after $((i / 10)).$((i % 10)) s"
