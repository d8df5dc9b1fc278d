#!/usr/bin/env bash
# ulvenor-capture under real conditions: a missing --out folder, ranges
# checked before the first frame, stills at --scale, a full disk (a file
# size limit with SIGXFSZ ignored), too little free space (a small tmpfs in
# a private mount namespace), Ctrl-C and SIGTERM during a capture, standard
# output that cannot be written. Every failure leaves an earlier capture as
# it was and no unfinished file behind.
# usage: capture_faults_test.sh ULVENOR_CAPTURE E2E_CHECK
CAPTURE=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"

# keep DIR COPY: a byte-for-byte copy of a capture; unchanged DIR COPY: the
# capture still holds exactly those bytes (comparing is cheaper than hashing).
keep() { mkdir -p "$2" && cp "$1/video.y4m" "$1/audio.wav" "$2/"; }
unchanged() { cmp -s "$1/video.y4m" "$2/video.y4m" && cmp -s "$1/audio.wav" "$2/audio.wav"; }
no_parts() { [ -z "$(find "$1" -name '.*part')" ] || fail "$2: unfinished files left in $1: $(ls -A "$1")"; }

# A folder that does not exist yet, two levels deep, is created.
"$CAPTURE" --quiet --out "$E2E_TMP/new/deeper" --to 20 || fail "capture into a missing folder failed"
[ -s "$E2E_TMP/new/deeper/video.y4m" ] && [ -s "$E2E_TMP/new/deeper/audio.wav" ] || fail "no capture in the new folder"

# Ranges and stills are checked before anything is drawn or written.
refused() {  # EXPECTED-MESSAGE ARGS...
  local want=$1
  shift
  mkdir -p "$E2E_TMP/range"
  if "$CAPTURE" --quiet --out "$E2E_TMP/range" "$@" 2>"$E2E_TMP/err"; then fail "$* was accepted"; fi
  grep -q -- "$want" "$E2E_TMP/err" || fail "$*: says '$(head -n 1 "$E2E_TMP/err")', want '$want'"
  [ -z "$(ls -A "$E2E_TMP/range")" ] || fail "$*: wrote $(ls -A "$E2E_TMP/range") before refusing"
}
refused "^ulvenor-capture: --from 3100 is past the demo's end at position 3000$" --from 3100
refused "^ulvenor-capture: --to 3100 is past the demo's end" --to 3100
refused "^ulvenor-capture: --from 500 is after --to 400$" --from 500 --to 400
refused "^ulvenor-capture: --from 1370 --to 1399 holds no music position" --from 1370 --to 1399
refused "^ulvenor-capture: --shot 3100 is past the demo's end" --shot 2990 --shot 3100
refused "not --shot's" --shot 100 --from 50
# Positions 10..12 last 0.33 s: at 1 frame a second no frame falls in them.
refused "^ulvenor-capture: no frame at 1 fps falls between positions 10 and 12$" --fps 1 --from 10 --to 12

# A still follows --scale.
"$CAPTURE" --quiet --out "$E2E_TMP/s" --scale 2 --shot 40 || fail "--shot at --scale 2 failed"
read -r w h _ < <("$CHECK" png "$E2E_TMP/s/shot-40.png") || fail "shot-40.png is not a PNG"
[ "$w $h" = "640 480" ] || fail "a still at --scale 2 is ${w}x$h"

# An earlier capture to protect: the one made into the new folder.
mv "$E2E_TMP/new/deeper" "$E2E_TMP/cap" || fail "cannot move the first capture"
keep "$E2E_TMP/cap" "$E2E_TMP/before" || fail "cannot keep a copy of the first capture"

# A full disk: 20 MB may be written, positions 0..150 need 146 MB. With
# SIGXFSZ ignored and at its default (which would kill the tool silently).
for xfsz in "trap '' XFSZ" "trap - XFSZ"; do
  rc=0
  (ulimit -f 20000 && eval "$xfsz" && exec "$CAPTURE" --quiet --out "$E2E_TMP/cap" --to 150) 2>"$E2E_TMP/err" || rc=$?
  [ "$rc" = 1 ] || fail "a capture past the file size limit ($xfsz) exited $rc"
  [ "$(cat "$E2E_TMP/err")" = "ulvenor-capture: cannot write $E2E_TMP/cap/video.y4m: File too large" ] ||
    fail "on a full disk ($xfsz) it said: $(cat "$E2E_TMP/err")"
  unchanged "$E2E_TMP/cap" "$E2E_TMP/before" || fail "a failed capture changed the earlier one"
  no_parts "$E2E_TMP/cap" "full disk ($xfsz)"
done

# Too little room: refused before the first frame.
mkdir -p "$E2E_TMP/small"
if unshare -m true 2>/dev/null; then
  rc=0
  unshare -m bash -c "mount -t tmpfs -o size=8m tmpfs '$E2E_TMP/small' && exec '$CAPTURE' --out '$E2E_TMP/small' --to 150" \
    2>"$E2E_TMP/err" || rc=$?
  [ "$rc" = 1 ] || fail "a capture into 8 MB of room exited $rc: $(cat "$E2E_TMP/err")"
  # 8 MiB of room; positions 0..150 need about 150 MB.
  grep -q "^ulvenor-capture: $E2E_TMP/small has [89] MB free, the capture needs about 1[45][0-9] MB$" "$E2E_TMP/err" ||
    fail "with too little room it said: $(cat "$E2E_TMP/err")"
  grep -q "position" "$E2E_TMP/err" && fail "it refused only after drawing frames"
else
  echo "no private mount namespace here: the free-space refusal is not checked"
fi

# Ctrl-C, SIGTERM, a closed terminal (SIGHUP) and SIGQUIT once the first
# frames are written: the earlier capture stays, the unfinished files go,
# the tool says so and exits 128 + the signal.
for sig in INT TERM HUP QUIT; do
  "$CAPTURE" --quiet --out "$E2E_TMP/cap" 2>"$E2E_TMP/err" &
  pid=$!
  # Looks often (at most 60 s): the capture runs on at full speed until
  # the signal.
  for i in $(seq 3000); do
    [ -n "$(find "$E2E_TMP/cap" -name '.video.y4m*part' -size +2M)" ] && break
    sleep 0.02
  done
  kill -"$sig" "$pid"
  rc=0
  wait "$pid" || rc=$?
  case $sig in
    INT) want="130 interrupted" ;;
    TERM) want="143 terminated" ;;
    HUP) want="129 hung up (terminal closed)" ;;
    QUIT) want="131 quit" ;;
  esac
  [ "$rc" = "${want%% *}" ] || fail "SIG$sig: exit status $rc, want ${want%% *}"
  [ "$(cat "$E2E_TMP/err")" = "ulvenor-capture: ${want#* }, unfinished output removed" ] ||
    fail "SIG$sig: it said '$(cat "$E2E_TMP/err")'"
  unchanged "$E2E_TMP/cap" "$E2E_TMP/before" || fail "SIG$sig changed the earlier capture"
  no_parts "$E2E_TMP/cap" "SIG$sig"
done

# A run of stills stopped half-way lands none of them: each still waits
# under its temporary name until the last is taken.
shots=()
for p in $(seq 0 100 2900); do shots+=(--shot "$p"); done
mkdir -p "$E2E_TMP/stills"
"$CAPTURE" --quiet --out "$E2E_TMP/stills" "${shots[@]}" 2>"$E2E_TMP/err" &
pid=$!
for i in $(seq 3000); do
  [ "$(find "$E2E_TMP/stills" -name '.shot-*part' | wc -l)" -ge 3 ] && break
  sleep 0.02
done
kill -INT "$pid"
rc=0
wait "$pid" || rc=$?
[ "$rc" = 130 ] || fail "stills stopped by SIGINT: exit status $rc"
[ "$(cat "$E2E_TMP/err")" = "ulvenor-capture: interrupted, unfinished output removed" ] ||
  fail "stills stopped by SIGINT: it said '$(cat "$E2E_TMP/err")'"
[ -z "$(ls -A "$E2E_TMP/stills")" ] || fail "stills stopped by SIGINT left $(ls -A "$E2E_TMP/stills" | head -n 5)"

# Standard output that cannot be written is a failure.
for args in --help --version; do
  rc=0
  "$CAPTURE" $args >/dev/full 2>"$E2E_TMP/err" || rc=$?
  [ "$rc" = 1 ] || fail "$args into /dev/full exited $rc"
  grep -q "cannot write standard output: No space left on device" "$E2E_TMP/err" || fail "$args: $(cat "$E2E_TMP/err")"
done
echo "capture faults: all refused or survived as they should"
