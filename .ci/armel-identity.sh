#!/usr/bin/env bash
# The same bytes on both machines: the whole demo captured by the x86-64
# ulvenor-capture (build/, made by test.sh) and by the armel one
# (build-armel/, made by build-armel.sh) run under qemu-arm; video.y4m and
# audio.wav must be identical. The captures (2.4 GB each) are deleted after.
set -e
cd "$(dirname "$0")/.."
./build-armel.sh
dir=build-armel/identity
rm -rf "$dir"
mkdir -p "$dir/x86-64" "$dir/armel"
trap 'rm -rf "$dir"' EXIT
t0=$(date +%s)
build/tools/capture/ulvenor-capture --out "$dir/x86-64" --quiet
t1=$(date +%s)
qemu-arm-static -L build-armel/sysroot build-armel/tools/capture/ulvenor-capture --out "$dir/armel" --quiet
t2=$(date +%s)
echo "x86-64 capture $((t1 - t0)) s, armel capture under qemu-arm $((t2 - t1)) s"
status=0
for f in video.y4m audio.wav; do
  if cmp "$dir/x86-64/$f" "$dir/armel/$f"; then
    echo "armel and x86-64 $f identical ($(stat -c %s "$dir/armel/$f") bytes)"
  else
    status=1
  fi
done
if [ $status -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $status
