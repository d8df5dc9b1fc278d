#!/bin/sh
# Builds the libFuzzer targets with clang (outside the main build) and runs
# each for SECONDS (default 300) on one core, starting from a scratch copy
# of corpus/ so the kept corpus stays small. New crashes land in OUT/.
# Usage: tests/fuzz/run.sh [SECONDS] [OUT]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-300}
out=${2:-$root/build-fuzz}
mkdir -p "$out"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I$root -I$root/tests/fuzz"
for t in compact text; do
  clang++ $flags "$here/fuzz_$t.cpp" "$root"/vector/cgm*.cpp "$root"/tools/cgmtext/*.cpp -o "$out/fuzz_$t"
done
for t in compact text; do
  rm -rf "$out/corpus_$t" && mkdir -p "$out/corpus_$t"
  cp "$here/corpus/$t"/* "$out/corpus_$t/"
  "$out/fuzz_$t" -max_total_time="$secs" -max_len=4096 -timeout=10 \
    -artifact_prefix="$out/crash_$t-" -print_final_stats=1 "$out/corpus_$t" 2>&1 | tail -n 20 > "$out/log_$t.txt" || true
  echo "== fuzz_$t"; cat "$out/log_$t.txt"
done
