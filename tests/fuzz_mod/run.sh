#!/bin/sh
# Builds the libFuzzer target for modtool's module path with clang (outside
# the main build) and runs it for SECONDS (default 600) on one core, starting
# from a scratch copy of corpus/ so the kept corpus stays small. New crashes
# land in OUT/.
# Usage: tests/fuzz_mod/run.sh [SECONDS] [OUT]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-600}
out=${2:-$root/build-fuzz}
mkdir -p "$out"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I$root -I$root/tests/fuzz_mod"
clang++ $flags $(pkg-config --cflags sdl) "$here/fuzz_mod.cpp" "$root/tools/modtool/modfile.cpp" \
  "$root"/replayer/*.cpp "$root"/sound/*.cpp "$root"/music/*.cpp $(pkg-config --libs sdl) -o "$out/fuzz_mod"
rm -rf "$out/corpus_mod" && mkdir -p "$out/corpus_mod"
cp "$here/corpus"/* "$out/corpus_mod/"
"$out/fuzz_mod" -max_total_time="$secs" -max_len=16384 -timeout=20 -rss_limit_mb=1024 \
  -artifact_prefix="$out/crash_mod-" -print_final_stats=1 "$out/corpus_mod" 2>&1 | tail -n 25 > "$out/log_mod.txt" || true
echo "== fuzz_mod"; cat "$out/log_mod.txt"
