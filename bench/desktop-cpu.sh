#!/usr/bin/env bash
# CPU time of the demo while it plays in a window, under its own Xvfb:
# prints the share of one core it used over SECONDS of play (after 2 s of
# start-up), for each set of arguments given (default: none, --scale 3 and
# --fullscreen on a 1920x1080 screen). Sound goes to SDL's dummy driver.
# With ULV_COMPAT=1 the demo is also built against sdl12-compat
# (bench/sdl12-compat.sh, in build-compat/) and each mode is measured on
# both SDL 1.2s in turn, in the same run, one table line each, with the
# load average beside it.
# usage: [ULV_COMPAT=1] bench/desktop-cpu.sh [ULVENOR [SECONDS [ARGS...]]]
set -u
ULVENOR=${1:-build/ulvenor}
PROGRAMS=("classic:$ULVENOR")
if [ "${ULV_COMPAT:-0}" = 1 ]; then
  COMPAT=$(bench/sdl12-compat.sh build-compat) || exit 1
  PROGRAMS+=("sdl12-compat:$COMPAT")
fi
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
LD_LIBRARY_PATH_SAVED=${LD_LIBRARY_PATH:-}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
printf '%-13s %-16s %8s  %s\n' "SDL 1.2" "mode" "CPU" "load average (1 min)"
for args in "$@"; do
  for prog in "${PROGRAMS[@]}"; do
    impl=${prog%%:*} bin=${prog#*:}
    libs=$LD_LIBRARY_PATH_SAVED
    [ "$impl" = sdl12-compat ] && libs=$(dirname "$bin")/sdl12-compat/lib${libs:+:$libs}
    # shellcheck disable=SC2086 # the arguments are split on purpose
    LD_LIBRARY_PATH=$libs SDL_AUDIODRIVER=dummy "$bin" $args >/dev/null 2>&1 &
    pid=$!
    sleep 2
    t0=$(cpu_ticks $pid)
    sleep "$SECONDS_PLAYED"
    t1=$(cpu_ticks $pid)
    kill -TERM $pid
    wait $pid
    permille=$(( (t1 - t0) * 1000 / (hz * SECONDS_PLAYED) ))
    printf '%-13s %-16s %7s%%  %s\n' "$impl" "${args:-(no arguments)}" "$((permille / 10)).$((permille % 10))" \
      "$(cut -d' ' -f1 /proc/loadavg)"
  done
done
echo "(share of one core over $SECONDS_PLAYED s of play)"
