#!/usr/bin/env bash
# The demo on a desktop: --scale 3 and --fullscreen show the very frame of
# the plain window enlarged, full screen switches on and off with F11 and Alt+Enter while the
# demo plays on, centred on black, and SIGTERM and SIGINT end it like
# Escape: status 0, the banner alone on standard output.
# With LIBDIR the demo runs on the SDL 1.2 there (see use_sdl12).
# usage: desktop_test.sh ULVENOR E2E_CHECK FAKE_TICKS_LIBRARY [LIBDIR]
ULVENOR=$1
CHECK=$2
FAKE_TICKS=$3
source "$(dirname "$0")/lib.sh"
use_sdl12 "${4:-}"
start_xvfb 1280x1024

printf '\nUlvenor Tarquel!\n' >"$E2E_TMP/want"
check_banner() {
  cmp -s "$E2E_TMP/out" "$E2E_TMP/want" || fail "$1: standard output is: $(od -c "$E2E_TMP/out" | head -5)"
}

# Runs the demo ($@) on the stepped clock of fake_ticks, without sound, and
# grabs its window (or what GRAB names: root, the whole screen) into
# $E2E_TMP/$name.png once the picture stands still.
frozen_shot() {
  local name=$1 size=$2 win
  shift 2
  LD_PRELOAD="$FAKE_TICKS" SDL_AUDIODRIVER=nosuchdriver "$ULVENOR" "$@" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
  DEMO_PID=$!
  win=$(find_window "Ulvenor Tarquel" 20) || fail "$name: no window"
  wait_size "$win" 10 "$size" || fail "$name: window is $(window_size "$win"), not $size"
  sleep 5  # the clock's last step comes 4 s after the music starts
  grab_still "${GRAB:-$win}" "$E2E_TMP/$name.png" 20 || fail "$name: the picture does not stand still"
  kill -TERM "$DEMO_PID"
  wait_exit "$DEMO_PID" 10 || fail "$name: SIGTERM did not end it within 10 s"
  DEMO_PID=""
  [ "$WAIT_STATUS" = 0 ] || fail "$name: exit status $WAIT_STATUS after SIGTERM"
  check_banner "$name"
}

frozen_shot plain 320x240
frozen_shot scale3 960x720 --scale 3
lit=$("$CHECK" enlarged "$E2E_TMP/plain.png" "$E2E_TMP/scale3.png" 3) ||
  fail "the 3x picture is not the plain one enlarged: $lit"
[ "$lit" -ge 100 ] || fail "the compared frame is nearly black ($lit per mille lit)"
echo "--scale 3: 960x720, the plain frame enlarged exactly ($lit per mille lit)"
# Full screen from the start on the 1280x1024 screen: scale 4, the
# 1280x960 area 32 rows down, black above and below it. Classic SDL 1.2
# shows full screen in a window of its own, not the titled one: the screen
# is what is grabbed.
GRAB=root frozen_shot full 1280x1024 --fullscreen
lit=$("$CHECK" enlarged "$E2E_TMP/plain.png" "$E2E_TMP/full.png" 4 0 32) ||
  fail "full screen is not the plain picture enlarged 4 times, 32 rows down: $lit"
out=$("$CHECK" black-outside "$E2E_TMP/full.png" 0 32 1280 960) || fail "full screen: outside the area $out"
echo "--fullscreen: 1280x1024, the plain frame enlarged 4 times exactly, centred on black"

# Full screen and back while the demo plays on its real clock. The screen
# is 1280x1024: scale 4, the 1280x960 area 32 rows down, its picture rows
# 32 + 80 to 32 + 880. Each step waits for what it needs to see, not a
# fixed time: the lit picture, then the window's new size.
SDL_AUDIODRIVER=dummy "$ULVENOR" >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
DEMO_PID=$!
win=$(find_window "Ulvenor Tarquel" 20) || fail "no window"
# Into the first fade (it starts about 4 s in): a tenth of the window lit.
wait_lit "$win" "$E2E_TMP/window.png" 100 30 || fail "the picture did not come up ($LIT per mille lit)"
press_key "$win" F11
win=$(wait_new_size 1280x1024 20)
kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended when switching to full screen"
[ -n "$win" ] || fail "no 1280x1024 window in full screen"
# The first grab that shows the picture (the switch takes a frame or two)
# is the one checked for black around it.
wait_lit root "$E2E_TMP/full.png" 50 10
full_lit=$LIT
[ "$full_lit" -ge 50 ] || fail "full screen shows no picture ($full_lit per mille lit)"
out=$("$CHECK" black-outside "$E2E_TMP/full.png" 0 112 1280 800) || fail "full screen: outside the picture $out"
press_key "$win" alt+Return
win=$(wait_new_size 320x240 20)
kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended when leaving full screen"
[ -n "$win" ] || fail "no 320x240 window back from full screen"
kill -INT "$DEMO_PID"
wait_exit "$DEMO_PID" 10 || fail "SIGINT did not end it within 10 s"
DEMO_PID=""
[ "$WAIT_STATUS" = 0 ] || fail "exit status $WAIT_STATUS after SIGINT"
check_banner "after SIGINT"
[ -s "$E2E_TMP/err" ] && fail "standard error: $(head -3 "$E2E_TMP/err")"
echo "full screen 1280x1024 centred on black ($full_lit per mille lit) and back to 320x240 while playing; SIGINT and SIGTERM: exit 0"
