# Shared by the end-to-end scripts: a temporary folder, a private X server
# and failure reporting. Everything started here is stopped on exit.
set -u

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/ulv-e2e.XXXXXX")
XVFB_PID=""
DEMO_PID=""

cleanup() {
  if [ -n "$DEMO_PID" ] && kill -0 "$DEMO_PID" 2>/dev/null; then kill -KILL "$DEMO_PID" 2>/dev/null; fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  rm -rf "$E2E_TMP"
}
trap cleanup EXIT

# use_sdl12 [LIBDIR]: with a folder, the demo loads its SDL 1.2 from there
# (sdl12-compat, unpacked by bench/sdl12-compat.sh --unpack; the script is
# skipped, exit 77, when it is not there); LIBDIR is then its absolute path.
use_sdl12() {
  LIBDIR=${1:-}
  [ -n "$LIBDIR" ] || return 0
  if [ ! -f "$LIBDIR/libSDL-1.2.so.0" ]; then
    echo "SKIP: no sdl12-compat in $LIBDIR (bench/sdl12-compat.sh --unpack unpacks it)"
    exit 77
  fi
  LIBDIR=$(cd "$LIBDIR" && pwd)
  export LD_LIBRARY_PATH=$LIBDIR${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts Xvfb with a screen of $1 (default 640x480) on a display number it
# picks itself (-displayfd), so it never takes one in use; exports DISPLAY.
# -noreset: without it the server resets itself whenever its last client
# leaves, dropping any connection still being set up. SDL 1.2 opens the
# display twice (a probe it closes at once, then its own), so when the demo
# is the only client its probe's close resets the server under its second
# open: "Couldn't open X11 display" (74 of 150 SDL_Init calls under load
# here; 0 of 150 with -noreset), or a silent fall-back to the text driver.
start_xvfb() {
  local fifo="$E2E_TMP/displayfd"
  : >"$fifo"
  Xvfb -displayfd 3 -noreset -screen 0 "${1:-640x480}x24" -nolisten tcp 3>"$fifo" 2>"$E2E_TMP/xvfb.log" &
  XVFB_PID=$!
  local i
  for i in $(seq 100); do
    if [ -s "$fifo" ]; then break; fi
    kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    sleep 0.1
  done
  [ -s "$fifo" ] || fail "Xvfb gave no display number"
  export DISPLAY=":$(tr -d '\n' <"$fifo")"
  # The number can come before the server takes connections: wait until a
  # client gets through, so the program under test does not race it.
  for i in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "Xvfb on $DISPLAY takes no connections: $(cat "$E2E_TMP/xvfb.log")"
}

# Waits up to $2 seconds for a window titled $1; prints its id. Gives up at
# once, with the program's standard error, when the program ($DEMO_PID)
# has ended.
find_window() {
  local i w
  for i in $(seq $(($2 * 10))); do
    if [ -n "$DEMO_PID" ] && ! kill -0 "$DEMO_PID" 2>/dev/null; then
      echo "the program ended before its window showed; its standard error:" >&2
      cat "$E2E_TMP/err" >&2 2>/dev/null
      return 1
    fi
    w=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$w" ]; then
      echo "$w"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; its status is in WAIT_STATUS.
wait_exit() {
  local i
  for i in $(seq $(($2 * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      WAIT_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Gives window $1 the keyboard and types the key $2 (xdotool's name). There
# is no window manager, so the focus is set directly.
press_key() {
  xdotool windowfocus --sync "$1" || fail "cannot focus window $1"
  xdotool key "$2" || fail "xdotool key $2 failed"
}

press_escape() { press_key "$1" Escape; }

# The size of window $1 as WxH.
window_size() {
  xdotool getwindowgeometry "$1" | sed -n 's/^ *Geometry: *//p'
}

# Grabs window $1 (an id, or root for the whole screen) into the 8-bit RGB
# PNG $2, through the script's $CHECK program (a small X client); prints
# the picture's measurements as "$CHECK png $2" would.
grab() {
  "$CHECK" grab "$1" "$2"
}

# Waits up to $2 seconds for window $1 to be $3 (WxH) in size, looking
# every 0.1 s.
wait_size() {
  local i
  for i in $(seq $(($2 * 10))); do
    [ "$(window_size "$1")" = "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

# Grabs window $1 into PNG $2 every second until two grabs in a row are the
# same (a picture that stands still); gives up after $3 tries.
grab_still() {
  local i
  grab "$1" "$2" >/dev/null || return 1
  for i in $(seq "$3"); do
    sleep 1
    grab "$1" "$2.next" >/dev/null || return 1
    cmp -s "$2" "$2.next" && return 0
    mv "$2.next" "$2"
  done
  return 1
}

# Grabs window $1 into $2 every 0.5 s until at least $3 per mille of it
# is lit, for at most $4 s; LIT is the last grab's share.
wait_lit() {
  local i stats
  for i in $(seq $(($4 * 2))); do
    stats=$(grab "$1" "$2") || fail "cannot grab window $1"
    read -r _ _ _ LIT _ <<<"$stats"
    [ "$LIT" -ge "$3" ] && return 0
    sleep 0.5
  done
  return 1
}

# Waits up to $2 seconds for the demo's window to be $1 (WxH), looking it
# up by its title each time (sdl12-compat makes a new window for a new
# mode); prints its id.
wait_new_size() {
  local i w
  for i in $(seq $(($2 * 10))); do
    w=$(xdotool search --name '^Ulvenor Tarquel$' 2>/dev/null | head -n 1)
    if [ -n "$w" ] && [ "$(window_size "$w" 2>/dev/null)" = "$1" ]; then
      echo "$w"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
