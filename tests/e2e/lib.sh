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

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts Xvfb on a display number it picks itself (-displayfd), so scripts
# running side by side never collide; exports DISPLAY.
start_xvfb() {
  local fifo="$E2E_TMP/displayfd"
  : >"$fifo"
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$fifo" 2>"$E2E_TMP/xvfb.log" &
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

# Gives the window the keyboard and types Escape. There is no window
# manager, so the focus is set directly.
press_escape() {
  xdotool windowfocus --sync "$1" || fail "cannot focus window $1"
  xdotool key Escape || fail "xdotool key failed"
}
