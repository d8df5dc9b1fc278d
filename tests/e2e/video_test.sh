#!/usr/bin/env bash
# ulvenor-capture --video: a few seconds in each container, read back by
# FFmpeg's own tools; the lossless encode against the --out capture of the
# same range; a full disk, a full device, a signal and names it refuses.
# Scale 1 throughout, to keep the encoders quick.
# usage: video_test.sh ULVENOR_CAPTURE
CAPTURE=$1
source "$(dirname "$0")/lib.sh"
T=$E2E_TMP
RANGE=(--scale 1 --from 40 --to 110)  # about 4 s of music, 2.9 s of it before the range
FRAME_BYTES=$((6 + 320 * 240 * 3))

no_parts() { [ -z "$(find "$T" -name '.*part')" ] || fail "$1: unfinished files left: $(ls -A "$T")"; }

# run NAME STATUS MESSAGE-or-empty COMMAND...: the exit status and all of
# standard error (one line, or nothing at all).
run() {
  local name=$1 want=$2 msg=$3 rc=0
  shift 3
  "$@" 2>"$T/err" || rc=$?
  [ "$rc" = "$want" ] || fail "$name: exit $rc, want $want: $(cat "$T/err")"
  [ "$(cat "$T/err")" = "$msg" ] || fail "$name: said '$(cat "$T/err")', want '$msg'"
}

# The reference: the same range as YUV4MPEG2 and WAV at 60 frames a second.
"$CAPTURE" --quiet --out "$T/cap" --fps 60 "${RANGE[@]}" || fail "the --out capture failed"
header=$(head -n 1 "$T/cap/video.y4m" | wc -c)
frames=$((($(stat -c %s "$T/cap/video.y4m") - header) / FRAME_BYTES))
wav_samples=$((($(stat -c %s "$T/cap/audio.wav") - 44) / 4))
[ "$frames" -gt 200 ] || fail "the reference has only $frames frames"

# The end of a stream (v or a) in seconds: its last packet's time plus
# duration. Matroska and WebM keep no stream durations, so the packets say.
stream_end() {
  ffprobe -v error -select_streams "$2:0" -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" |
    awk -F, '{ e = $1 + $2; if (NR == 1 || e > m) m = e } END { printf "%.4f", m }'
}
# within A B: A and B differ by at most one frame at 60 fps, plus the
# millisecond that Matroska rounds its times to.
within() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d <= 0.0177 && d >= -0.0177) }'; }

# Each container: its codecs, the size, every frame, and picture and sound
# ending together where the WAV ends. Nothing on standard error when it is
# not a terminal.
for want in "mp4 h264 yuv420p aac 44100" "mkv h264 yuv420p flac 44100" "webm vp9 yuv420p opus 48000"; do
  read -r ext vcodec pix acodec rate <<<"$want"
  f="$T/short.$ext"
  run "--video .$ext" 0 "" "$CAPTURE" --video "$f" "${RANGE[@]}"
  got=$(ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,pix_fmt,width,height,sample_rate,nb_read_frames \
    -of default=nw=1:nk=1 "$f" | tr '\n' ' ')
  want_v="$vcodec 320 240 $pix $frames"
  want_a="$acodec $rate"
  [[ "$got" == *"$vcodec video 320 240 $pix"* ]] && [[ "$got" == *"$acodec audio $rate"* ]] ||
    fail ".$ext: ffprobe says '$got', want '$want_v' and '$want_a'"
  read_frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$f")
  [ "$read_frames" = "$frames" ] || fail ".$ext: $read_frames frames, the range has $frames"
  v=$(stream_end "$f" v)
  a=$(stream_end "$f" a)
  within "$v" "$a" || fail ".$ext: the picture ends at $v s, the sound at $a s"
  within "$v" "$(awk -v n="$frames" 'BEGIN { print n / 60 }')" || fail ".$ext: the picture ends at $v s, $frames frames"
  within "$a" "$(awk -v n="$wav_samples" 'BEGIN { print n / 44100 }')" || fail ".$ext: the sound ends at $a s, the WAV's $wav_samples samples"
  errors=$(ffmpeg -v error -i "$f" -f null - 2>&1) && [ -z "$errors" ] || fail ".$ext does not decode cleanly: $errors"
done

# Lossless: the decoded pictures are the YUV4MPEG2 frames and the decoded
# sound the WAV's samples, byte for byte.
run "--lossless" 0 "" "$CAPTURE" --video "$T/lossless.mkv" --lossless --fps 60 "${RANGE[@]}"
ffmpeg -v error -i "$T/lossless.mkv" -map 0:v -f rawvideo -pix_fmt yuv444p "$T/lossless.yuv" \
  -map 0:a -f s16le "$T/lossless.pcm" || fail "the lossless file does not decode"
ffmpeg -v error -i "$T/cap/video.y4m" -f rawvideo "$T/cap.yuv" || fail "ffmpeg does not read the YUV4MPEG2 capture"
[ "$(stat -c %s "$T/cap.yuv")" = $((frames * 320 * 240 * 3)) ] || fail "ffmpeg read the wrong frames from the capture"
cmp "$T/cap.yuv" "$T/lossless.yuv" || fail "the lossless pictures differ from the YUV4MPEG2 frames"
cmp <(tail -c +45 "$T/cap/audio.wav") "$T/lossless.pcm" || fail "the lossless sound differs from the WAV's samples"
rm -f "$T"/*.yuv "$T"/*.pcm

# A FIFO is streamed into (an .mp4 fragmented, since it cannot seek back)
# and stays a FIFO; what its reader gets plays.
mkfifo "$T/live.mp4"
cat "$T/live.mp4" >"$T/from-fifo.mp4" &
reader=$!
run "--video into a FIFO" 0 "" timeout 60 "$CAPTURE" --video "$T/live.mp4" "${RANGE[@]}"
wait $reader
[ -p "$T/live.mp4" ] || fail "the FIFO was replaced"
read_frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$T/from-fifo.mp4")
[ "$read_frames" = "$frames" ] || fail "the FIFO's reader got $read_frames frames of $frames"

# A progress line on a terminal (a pseudo-terminal made by script).
script -qec "'$CAPTURE' --video '$T/progress.mkv' ${RANGE[*]}" /dev/null >"$T/tty" </dev/null ||
  fail "a recording on a terminal failed: $(cat "$T/tty")"
grep -aq "frame [0-9]* of [0-9]*  .* elapsed, about .* left  [0-9]* MB" "$T/tty" ||
  fail "no progress line on a terminal: $(cat -v "$T/tty")"

# Refused before the first frame, nothing written.
mkdir "$T/empty"
can="this FFmpeg can record .mp4 (H.264 + AAC), .mkv (H.264 + FLAC), .webm (VP9 + Opus)"
run "an unknown extension" 2 "ulvenor-capture: cannot record $T/empty/demo.avi: the extension names the container; $can" \
  "$CAPTURE" --video "$T/empty/demo.avi"
run "--lossless into .mp4" 2 "ulvenor-capture: cannot record $T/empty/demo.mp4: --lossless records H.264 4:4:4 qp 0 + FLAC, into .mkv only" \
  "$CAPTURE" --video "$T/empty/demo.mp4" --lossless
[ -z "$(ls -A "$T/empty")" ] || fail "a refused recording wrote $(ls -A "$T/empty")"

# A full disk: a file size limit on a regular file (SIGXFSZ ignored, so
# the write fails), a full device for a stream. An earlier recording
# under the name stays as it was.
cp "$T/short.mp4" "$T/keep.mp4"
rc=0
(ulimit -f 100 && trap '' XFSZ && exec "$CAPTURE" --quiet --video "$T/short.mp4" "${RANGE[@]}") 2>"$T/err" || rc=$?
[ "$rc" = 1 ] && [ "$(cat "$T/err")" = "ulvenor-capture: cannot write $T/short.mp4: File too large" ] ||
  fail "past the file size limit: exit $rc, said '$(cat "$T/err")'"
cmp -s "$T/short.mp4" "$T/keep.mp4" || fail "a failed recording changed the earlier one"
mknod "$T/full.mkv" c 1 7 || fail "cannot make a device node"
run "into a full device" 1 "ulvenor-capture: cannot write $T/full.mkv: No space left on device" \
  "$CAPTURE" --quiet --video "$T/full.mkv" "${RANGE[@]}"
[ -c "$T/full.mkv" ] || fail "the full device was replaced"
no_parts "full disk"

# Ctrl-C and SIGTERM while the encoders run: the unfinished file goes.
for sig in INT TERM; do
  "$CAPTURE" --quiet --video "$T/cut.mkv" --scale 1 2>"$T/err" &
  pid=$!
  for i in $(seq 3000); do
    [ -n "$(find "$T" -name '.cut.mkv*part' -size +200k)" ] && break
    sleep 0.02
  done
  kill -"$sig" "$pid"
  rc=0
  wait "$pid" || rc=$?
  want=$([ "$sig" = INT ] && echo 130 || echo 143)
  [ "$rc" = "$want" ] || fail "SIG$sig: exit status $rc, want $want"
  grep -q "^ulvenor-capture: \(interrupted\|terminated\), unfinished output removed$" "$T/err" ||
    fail "SIG$sig: it said '$(cat "$T/err")'"
  [ ! -e "$T/cut.mkv" ] || fail "SIG$sig left $T/cut.mkv"
  no_parts "SIG$sig"
done
echo "video: three containers, lossless, streams and faults as they should"
