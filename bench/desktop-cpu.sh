#!/usr/bin/env bash
# CPU time of the demo while it plays in a window, under its own Xvfb:
# prints the share of one core it used over SECONDS of play (after 2 s of
# start-up), for each set of arguments given (default: none, --scale 3 and
# --fullscreen on a 1920x1080 screen). Sound goes to SDL's dummy driver.
# usage: bench/desktop-cpu.sh [ULVENOR [SECONDS [ARGS...]]]
set -u
ULVENOR=${1:-build/ulvenor}
SECONDS_PLAYED=${2:-20}
shift $(($# > 2 ? 2 : $#))
[ $# -gt 0 ] || set -- "" "--scale 3" "--fullscreen"
TMP=$(mktemp -d "${TMPDIR:-/tmp}/ulv-cpu.XXXXXX")
: >"$TMP/displayfd"
Xvfb -displayfd 3 -noreset -screen 0 1920x1080x24 -nolisten tcp 3>"$TMP/displayfd" 2>"$TMP/xvfb.log" &
XVFB=$!
trap 'kill $XVFB 2>/dev/null; wait $XVFB 2>/dev/null; rm -rf "$TMP"' EXIT
for i in $(seq 100); do [ -s "$TMP/displayfd" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '\n' <"$TMP/displayfd")"
hz=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
for args in "$@"; do
  # shellcheck disable=SC2086 # the arguments are split on purpose
  SDL_AUDIODRIVER=dummy "$ULVENOR" $args >/dev/null 2>&1 &
  pid=$!
  sleep 2
  t0=$(cpu_ticks $pid)
  sleep "$SECONDS_PLAYED"
  t1=$(cpu_ticks $pid)
  kill -TERM $pid
  wait $pid
  echo "ulvenor ${args:-(no arguments)}: $(( (t1 - t0) * 1000 / (hz * SECONDS_PLAYED) / 10 )).$(( (t1 - t0) * 1000 / (hz * SECONDS_PLAYED) % 10 ))% of one core over $SECONDS_PLAYED s"
done
