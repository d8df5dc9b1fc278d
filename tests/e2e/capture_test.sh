#!/usr/bin/env bash
# ulvenor-capture: the same bytes on every run, the y4m stream's header and
# frame count follow --fps and --scale, --shot writes 320x240 RGB pictures.
# usage: capture_test.sh ULVENOR_CAPTURE E2E_CHECK
CAPTURE=$1
CHECK=$2
source "$(dirname "$0")/lib.sh"

mkdir -p "$E2E_TMP/a" "$E2E_TMP/b" "$E2E_TMP/c" "$E2E_TMP/s"
"$CAPTURE" --quiet --out "$E2E_TMP/a" --to 150 || fail "capture a failed"
"$CAPTURE" --quiet --out "$E2E_TMP/b" --to 150 || fail "capture b failed"
for f in video.y4m audio.wav; do
  [ -s "$E2E_TMP/a/$f" ] || fail "no $f"
  cmp "$E2E_TMP/a/$f" "$E2E_TMP/b/$f" || fail "$f differs between two runs"
done

# Header, then FRAME\n and three full planes per frame.
check_y4m() {  # FILE FPS SCALE
  local file=$1 fps=$2 scale=$3
  local w=$((320 * scale)) h=$((240 * scale))
  local header="YUV4MPEG2 W$w H$h F$fps:1 Ip A1:1 C444"
  [ "$(head -n 1 "$file")" = "$header" ] || fail "header is '$(head -n 1 "$file")', want '$header'"
  local size frame=$((6 + w * h * 3))
  size=$(stat -c %s "$file")
  local body=$((size - ${#header} - 1))
  [ $((body % frame)) = 0 ] || fail "$file: $body bytes after the header are not whole frames of $frame"
  [ "$(head -c $((${#header} + 1 + 6)) "$file" | tail -c 6)" = "FRAME" ] || fail "no FRAME marker after the header"
  Y4M_FRAMES=$((body / frame))
}
check_y4m "$E2E_TMP/a/video.y4m" 50 1
frames=$Y4M_FRAMES

# Positions 0..150 are 115 rows of music, 6 ticks of 810 frames each at
# 136 BPM: 12.67 s, so 634 frames at 50 fps; the music runs up to one
# 4096-frame block (93 ms) ahead of the picture, as from a real device.
[ "$frames" -ge 628 ] && [ "$frames" -le 635 ] || fail "$frames frames at 50 fps for positions 0..150"
"$CAPTURE" --quiet --out "$E2E_TMP/c" --to 150 --fps 10 --scale 2 || fail "capture at 10 fps, scale 2 failed"
check_y4m "$E2E_TMP/c/video.y4m" 10 2
frames10=$Y4M_FRAMES
[ $((5 * frames10 - frames)) -ge -5 ] && [ $((5 * frames10 - frames)) -le 5 ] ||
  fail "$frames10 frames at 10 fps against $frames at 50 fps"
# The sound covers the frames written, whatever the frame rate.
wav_a=$(($(stat -c %s "$E2E_TMP/a/audio.wav") - 44))
wav_c=$(($(stat -c %s "$E2E_TMP/c/audio.wav") - 44))
[ $((wav_a / 4)) = $((frames * 882)) ] || fail "audio.wav holds $((wav_a / 4)) frames for $frames video frames at 50 fps"
[ $((wav_c / 4)) = $((frames10 * 4410)) ] || fail "audio.wav holds $((wav_c / 4)) frames for $frames10 video frames at 10 fps"
cmp -n $((wav_a < wav_c ? wav_a : wav_c)) -i 44:44 "$E2E_TMP/a/audio.wav" "$E2E_TMP/c/audio.wav" ||
  fail "the sound depends on the frame rate"

"$CAPTURE" --quiet --out "$E2E_TMP/s" --shot 120 --shot 40 || fail "capture --shot failed"
[ ! -e "$E2E_TMP/s/video.y4m" ] || fail "--shot also wrote a video"
for p in 40 120; do
  read -r w h type lit corr _ < <("$CHECK" png "$E2E_TMP/s/shot-$p.png") || fail "shot-$p.png is not a PNG"
  [ "$w $h $type" = "320 240 2" ] || fail "shot-$p.png is ${w}x$h colour type $type, not 320x240 RGB"
  echo "shot $p: $lit per mille lit, neighbour correlation $corr/1000"
done
# The last frame is the first at position 3000; a still asked for beyond it
# cannot be taken, and that is an error found before any frame is drawn.
mkdir -p "$E2E_TMP/end"
"$CAPTURE" --quiet --out "$E2E_TMP/end" --fps 10 --shot 3000 || fail "--shot 3000 failed"
[ -s "$E2E_TMP/end/shot-3000.png" ] || fail "no still of the last frame"
if "$CAPTURE" --quiet --out "$E2E_TMP/end" --fps 10 --shot 2990 --shot 3100 2>"$E2E_TMP/end/err"; then
  fail "--shot 3100 (past the end) reported success"
fi
grep -q "shot 3100 is past the demo's end" "$E2E_TMP/end/err" || fail "--shot 3100 failed without saying why"
[ ! -e "$E2E_TMP/end/shot-2990.png" ] || fail "--shot 3100 was refused only after rendering"
echo "capture: $frames frames at 50 fps, $frames10 at 10 fps x2, deterministic"
