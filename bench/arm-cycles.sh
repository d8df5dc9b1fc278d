#!/usr/bin/env bash
# Estimated ARM926EJ-S cycles per frame of the demo (200 MHz core, 16 KB
# caches, 100 MHz SDRAM), modelled under qemu.
#
#   bench/arm-cycles.sh [FPS [SCENE]]   (default 50 fps, as ulvenor-capture;
#                                        SCENE: one scene's frames only)
#
# Cross-builds (./build-armel.sh, nothing when up to date), compiles the
# cycle model bench/arm/cyclecount.c for the build machine and runs the
# armel ulvenor-framecount under Debian's dynamic qemu-arm (the static one
# loads no plugins). A frame's cost is its drawing plus its presentation
# (8 to 16 bits) plus the sound's average share of a frame at 60 frames per
# second, as bench/arm-instructions.sh counts instructions. Prints for
# every scene the mean and worst frame in millions of cycles with the
# central memory constants, the frames over the 60 fps budget (3.33 M), the
# worst frame's instructions, cycles per instruction, line fills (data and
# instruction) and store misses (write-buffer entries) per frame, and the
# worst frame with the optimistic and pessimistic constants, then the
# costliest functions over the frames counted (build-armel/arm-cycles/
# profile.txt has them all). The whole demo takes about 5 minutes.
set -e
cd "$(dirname "$0")/.."
fps=${1:-50}
scene=${2:-}
./build-armel.sh >/dev/null
out=build-armel/arm-cycles
mkdir -p "$out"
cc -std=c11 -O2 -Wall -Wextra -Werror -shared -fPIC -fvisibility=hidden \
  bench/arm/cyclecount.c -o "$out/cyclecount.so"
start=$(date +%s)
args=("$fps")
[ -n "$scene" ] && args+=("$scene")
qemu-arm -L build-armel/sysroot -plugin "$out/cyclecount.so,out=$out/counts.txt,profile=$out/profile.txt" \
  build-armel/bench/arm/ulvenor-framecount "${args[@]}" >"$out/frames.txt"
echo "modelled in $(( $(date +%s) - start )) s under qemu-arm, $fps frames per second of music"

# counts.txt: at every mark (three per frame: sound, drawing, presentation
# start, then one after the last frame) "INSNS CYCLES OPTIMISTIC
# PESSIMISTIC DFILLS IFILLS STORE_MISSES TLB_MISSES", running totals; then
# "total ...". frames.txt: "frame POS SCENE..." per frame, then "sound
# FRAMES RATE".
awk '
  BEGIN { n = 0 }
  FNR == NR { if ($1 != "total") { for (i = 1; i <= 8; i++) v[n, i] = $i; n++ } next }
  $1 == "frame" { name = $3; for (i = 4; i <= NF; i++) name = name " " $i
                  scene[f++] = name; next }
  $1 == "sound" { sound_frames = $2; rate = $3 }
  END {
    if (n != 3 * f + 1) { printf "marks %d do not match %d frames\n", n, f > "/dev/stderr"; exit 1 }
    # field i of frame k: sound = marks 3k..3k+1, frame = 3k+1..3k+3
    for (k = 0; k < f; k++)
      for (i = 1; i <= 8; i++) {
        snd[i] += v[3*k+1, i] - v[3*k, i]
        c[k, i] = v[3*k+3, i] - v[3*k+1, i]
        if (i >= 5) { pres[i] += v[3*k+3, i] - v[3*k+2, i] }
      }
    for (k = 0; k < f; k++) pres[2] += v[3*k+3, 2] - v[3*k+2, 2]
    seconds = sound_frames / rate
    for (i = 1; i <= 8; i++) share[i] = seconds > 0 ? snd[i] / seconds / 60 : 0
    printf "sound: %.2f M cycles (%.2f M instructions) per second of music, %.3f M cycles per frame at 60 fps\n",
      share[2] * 60 / 1e6, share[1] * 60 / 1e6, share[2] / 1e6
    printf "presentation (8 to 16 bits): %.3f M cycles, %.0f fills, %.0f store misses per frame\n\n",
      pres[2] / f / 1e6, (pres[5] + pres[6]) / f, pres[7] / f
    printf "%-16s %6s %6s %6s %6s %6s %5s %6s %6s %6s %6s\n", "scene", "frames", "mean", "worst", "over", "insns",
      "CPI", "fills", "stmiss", "opt", "pess"
    for (k = 0; k < f; k++) {
      nm = scene[k]
      if (!(nm in cnt)) order[m++] = nm
      for (i = 1; i <= 8; i++) { x = c[k, i] + share[i]; sum[nm, i] += x; all[i] += x
        if (x > worst[nm, i]) worst[nm, i] = x; if (x > aw[i]) aw[i] = x }
      cnt[nm]++; if (c[k, 2] + share[2] > 3.33e6) { over[nm]++; aover++ }
    }
    for (j = 0; j <= m; j++) {
      if (j < m) { nm = order[j]; fr = cnt[nm]; for (i = 1; i <= 8; i++) { s[i] = sum[nm, i]; w[i] = worst[nm, i] } o = over[nm] }
      else { nm = "whole demo"; fr = f; for (i = 1; i <= 8; i++) { s[i] = all[i]; w[i] = aw[i] } o = aover }
      printf "%-16s %6d %6.2f %6.2f %6d %6.2f %5.2f %6.0f %6.0f %6.2f %6.2f\n", nm, fr, s[2] / fr / 1e6, w[2] / 1e6, o,
        w[1] / 1e6, s[2] / s[1], (s[5] + s[6]) / fr, s[7] / fr, w[3] / 1e6, w[4] / 1e6
    }
    print "\n(M cycles per frame, central constants; over: frames above 3.33 M; insns: worst frame, M instructions;"
    print " CPI, fills and store misses: means; opt, pess: worst frame with the optimistic and pessimistic constants)"
  }' "$out/counts.txt" "$out/frames.txt"

echo
echo "costliest functions (M cycles per frame counted, central; M instructions; data fills; store misses):"
frames=$(grep -c '^frame ' "$out/frames.txt")
head -15 "$out/profile.txt" | awk -v f="$frames" '{ name = $5; for (i = 6; i <= NF; i++) name = name " " $i
  printf "  %6.3f %6.3f %7.0f %7.0f  %s\n", $1 / f / 1e6, $2 / f / 1e6, $3 / f, $4 / f, name }'
