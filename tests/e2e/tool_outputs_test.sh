#!/usr/bin/env bash
# What the tools' outputs may name: a character device, a FIFO, a link and
# standard output ("-") are written into and stay what they were; a block
# device or a folder is refused with one line; an output that is the input
# (through any link) is refused and the input kept. The device nodes are
# private ones made in the test's own folder, never the system's.
# usage: tool_outputs_test.sh MODTOOL CGMTOOL ULVENOR_CAPTURE MODULE
MODTOOL=$1
CGMTOOL=$2
CAPTURE=$3
MODULE=$4
source "$(dirname "$0")/lib.sh"
T=$E2E_TMP

mknod "$T/null" c 1 3 && mknod "$T/full" c 1 7 && mknod "$T/block" b 7 200 || fail "cannot make device nodes"
mkfifo "$T/fifo" || fail "cannot make a FIFO"
ln -s "$T/null" "$T/null-link"
printf 'BEGMF "t"; colrtable 1 255 0 0; fillcolr 1; intstyle solid;\npolygon (0,0) (100,0) (100,100);\nENDPIC; ENDMF;\n' \
  >"$T/tri.cgm"
cp "$MODULE" "$T/song.mod"

is_char() { [ -c "$1" ] && [ ! -L "$1" ] || fail "$2: $1 is no longer the character device"; }

# run NAME STATUS MESSAGE-or-empty COMMAND...: the status and the last line
# of standard error (cgmtool warns first what the compact form drops).
run() {
  local name=$1 want=$2 msg=$3 rc=0
  shift 3
  "$@" 2>"$T/err" >"$T/out" || rc=$?
  [ "$rc" = "$want" ] || fail "$name: exit $rc, want $want: $(cat "$T/err")"
  if [ -n "$msg" ]; then [ "$(tail -n 1 "$T/err")" = "$msg" ] || fail "$name: said '$(cat "$T/err")', want '$msg'"; fi
}

# A character device is written into and stays a device.
run "modtool into a device" 0 "" "$MODTOOL" render "$T/song.mod" -o "$T/null" --seconds 1
is_char "$T/null" "modtool -o"
run "modtool through a link to a device" 0 "" "$MODTOOL" render "$T/song.mod" -o "$T/null-link" --seconds 1
[ -L "$T/null-link" ] || fail "the link to the device was replaced"
is_char "$T/null" "modtool -o LINK"
run "modtool into a full device" 1 "modtool: cannot write $T/full: No space left on device" \
  "$MODTOOL" render "$T/song.mod" -o "$T/full" --seconds 1
is_char "$T/full" "modtool -o FULL"
run "cgmtool PNG into a device" 0 "" "$CGMTOOL" "$T/tri.cgm" -o "$T/null"
run "cgmtool compact into a device" 0 "" "$CGMTOOL" "$T/tri.cgm" --compact "$T/null"
is_char "$T/null" "cgmtool"
run "cgmtool into a full device" 1 "cgmtool: cannot write $T/full: No space left on device" \
  "$CGMTOOL" "$T/tri.cgm" --compact "$T/full"
is_char "$T/full" "cgmtool FULL"
[ -z "$(find "$T" -name '.*part')" ] || fail "unfinished files left: $(ls -A "$T")"

# Standard output as "-": the same bytes as a file (after the WAV header,
# whose sizes a stream cannot go back to fill in).
run "modtool to a file" 0 "" "$MODTOOL" render "$T/song.mod" -o "$T/song.wav" --seconds 1
"$MODTOOL" render "$T/song.mod" -o - --seconds 1 >"$T/stdout.wav" || fail "modtool -o - failed"
cmp -s <(tail -c +45 "$T/song.wav") <(tail -c +45 "$T/stdout.wav") || fail "modtool -o - differs from the file"
"$CGMTOOL" "$T/tri.cgm" --compact - >"$T/stdout.bin" 2>/dev/null &&
  "$CGMTOOL" "$T/tri.cgm" --compact "$T/tri.bin" 2>/dev/null ||
  fail "cgmtool --compact failed"
cmp -s "$T/tri.bin" "$T/stdout.bin" || fail "cgmtool --compact - differs from the file"
[ ! -e "$T/-" ] || fail "a file named - was made"

# A FIFO streams to its reader and stays a FIFO; a WAV of unknown length
# says the longest length its header holds.
cat "$T/fifo" >"$T/from-fifo.wav" &
reader=$!
run "modtool into a FIFO" 0 "" timeout 60 "$MODTOOL" render "$T/song.mod" -o "$T/fifo"
wait $reader
[ -p "$T/fifo" ] || fail "the FIFO was replaced"
[ "$(head -c 4 "$T/from-fifo.wav")" = RIFF ] && [ "$(stat -c %s "$T/from-fifo.wav")" -gt 100000 ] ||
  fail "the FIFO's reader got $(stat -c %s "$T/from-fifo.wav") bytes"
mkdir "$T/cap" && mkfifo "$T/cap/video.y4m"
cat "$T/cap/video.y4m" >"$T/from-fifo.y4m" &
reader=$!
run "a capture into a FIFO" 0 "" timeout 60 "$CAPTURE" --quiet --out "$T/cap" --to 4
wait $reader
[ -p "$T/cap/video.y4m" ] && [ "$(head -c 9 "$T/from-fifo.y4m")" = YUV4MPEG2 ] || fail "the capture's FIFO was replaced or not read"
[ -f "$T/cap/audio.wav" ] || fail "no audio.wav beside the video's FIFO"

# A link to a regular file stays a link; the file it names gets the WAV.
ln -s "$T/song.wav" "$T/wav-link"
run "modtool through a link" 0 "" "$MODTOOL" render "$T/song.mod" -o "$T/wav-link" --seconds 2
[ -L "$T/wav-link" ] && [ "$(stat -c %s "$T/song.wav")" = $((44 + 88200 * 4)) ] || fail "the link was replaced"

# Neither a file nor something to write into: refused, one line, kept.
run "modtool into a block device" 1 "modtool: cannot write $T/block: neither a regular file nor a character device or FIFO to write into" \
  "$MODTOOL" render "$T/song.mod" -o "$T/block" --seconds 1
[ -b "$T/block" ] || fail "the block device was replaced"
run "cgmtool into a folder" 1 "cgmtool: cannot write $T/cap: is a directory" "$CGMTOOL" "$T/tri.cgm" -o "$T/cap"

# The output is the input: refused, the module kept, also through a link.
sum=$(sha256sum <"$T/song.mod")
ln -s "$T/song.mod" "$T/alias.wav"
for out in "$T/song.mod" "$T/alias.wav"; do
  run "modtool -o its input" 2 "modtool: $out: is the input file; choose another output" \
    "$MODTOOL" render "$T/song.mod" -o "$out"
done
[ "$(sha256sum <"$T/song.mod")" = "$sum" ] || fail "the module was changed"
# A render ended by a signal, or past a file size limit (SIGXFSZ at its
# default, which would kill it silently), leaves no file and says why.
mkdir "$T/sig"
for sig in HUP QUIT; do  # SIGINT and SIGTERM: the module tool's own tests
  "$MODTOOL" render "$T/song.mod" -o "$T/sig/long.wav" --seconds 1800 2>"$T/err" &
  pid=$!
  for i in $(seq 3000); do
    [ -n "$(find "$T/sig" -name '.long.wav*part' -size +1M)" ] && break
    sleep 0.02
  done
  kill -"$sig" "$pid"
  rc=0
  wait "$pid" || rc=$?
  want=$([ "$sig" = HUP ] && echo "129 hung up (terminal closed)" || echo "131 quit")
  [ "$rc" = "${want%% *}" ] || fail "render stopped by SIG$sig: exit $rc, want ${want%% *}"
  [ "$(cat "$T/err")" = "modtool: ${want#* }, unfinished output removed" ] ||
    fail "render stopped by SIG$sig said '$(cat "$T/err")'"
  [ -z "$(ls -A "$T/sig")" ] || fail "render stopped by SIG$sig left $(ls -A "$T/sig")"
done
rc=0
(ulimit -f 1000 && trap - XFSZ && exec "$MODTOOL" render "$T/song.mod" -o "$T/sig/big.wav" --seconds 60) 2>"$T/err" || rc=$?
[ "$rc" = 1 ] && [ "$(cat "$T/err")" = "modtool: cannot write $T/sig/big.wav: File too large" ] ||
  fail "a render past the file size limit: exit $rc, said '$(cat "$T/err")'"
[ -z "$(ls -A "$T/sig")" ] || fail "a render past the file size limit left $(ls -A "$T/sig")"
echo "tool outputs: written into, streamed or refused as they should"
