#!/usr/bin/env bash
# ARM instructions per frame of the whole demo, counted under qemu.
#
#   bench/arm-instructions.sh [FPS]     (default 50, as ulvenor-capture)
#
# Cross-builds (./build-armel.sh, nothing when up to date), compiles the
# counting plugin bench/arm/insncount.c for the build machine and runs the
# armel ulvenor-framecount under Debian's dynamic qemu-arm (the static one
# loads no plugins). Prints for every scene the mean and the worst frame in
# millions of ARM instructions: drawing plus presentation (8 to 16 bits) plus
# the sound's average share of a frame at 60 frames per second (the sound's
# instructions per second of music / 60). Counted instructions are guest
# instructions as qemu executes them; a real ARMv5 needs at least as many
# cycles.
set -e
cd "$(dirname "$0")/.."
fps=${1:-50}
./build-armel.sh >/dev/null
out=build-armel/arm-instructions
mkdir -p "$out"
cc -std=c11 -O2 -Wall -Wextra -Werror -shared -fPIC -fvisibility=hidden \
  bench/arm/insncount.c -o "$out/insncount.so"
start=$(date +%s)
qemu-arm -L build-armel/sysroot -plugin "$out/insncount.so,out=$out/counts.txt" \
  build-armel/bench/arm/ulvenor-framecount "$fps" >"$out/frames.txt"
echo "counted in $(( $(date +%s) - start )) s under qemu-arm, $fps frames per second of music"

# counts.txt: the running total at every mark (three per frame: sound,
# drawing, presentation start), then "total N". frames.txt: "frame POS
# SCENE..." per frame, then "sound FRAMES RATE".
awk '
  FNR == NR { if ($1 != "total") mark[n++] = $1; next }
  $1 == "frame" { name = $3; for (i = 4; i <= NF; i++) name = name " " $i
                  scene[f++] = name; next }
  $1 == "sound" { sound_frames = $2; rate = $3 }
  END {
    if (n != 3 * f + 1) { printf "marks %d do not match %d frames\n", n, f > "/dev/stderr"; exit 1 }
    for (k = 0; k < f; k++) {
      s = mark[3*k+1] - mark[3*k]; d = mark[3*k+2] - mark[3*k+1]; p = mark[3*k+3] - mark[3*k+2]
      sound += s; draw[k] = d; pres += p; cost[k] = d + p
    }
    per_second = sound / (sound_frames / rate)
    share = per_second / 60
    printf "sound: %.2f M instructions per second of music, %.3f M per frame at 60 fps\n", per_second / 1e6, share / 1e6
    printf "presentation (8 to 16 bits): %.3f M per frame\n\n", pres / f / 1e6
    printf "%-18s %7s %9s %9s   (M ARM instructions per frame: drawing + presentation + sound share)\n", "scene", "frames", "mean", "worst"
    for (k = 0; k < f; k++) {
      c = cost[k] + share; nm = scene[k]
      if (!(nm in cnt)) order[m++] = nm
      cnt[nm]++; sum[nm] += c; if (c > worst[nm]) worst[nm] = c
      all += c; if (c > all_worst) all_worst = c
    }
    for (i = 0; i < m; i++) { nm = order[i]; printf "%-18s %7d %9.3f %9.3f\n", nm, cnt[nm], sum[nm] / cnt[nm] / 1e6, worst[nm] / 1e6 }
    printf "%-18s %7d %9.3f %9.3f\n", "whole demo", f, all / f / 1e6, all_worst / 1e6
  }' "$out/counts.txt" "$out/frames.txt"
