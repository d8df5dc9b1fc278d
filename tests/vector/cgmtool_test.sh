#!/bin/sh
# cgmtool from the command line: usage and exit codes, a broken file, a
# drawing converted by fig2dev drawn to PNG, and the compact form written
# back byte for byte.
# Arguments: CGMTOOL SOURCE_DIR ASSET_DIR WORK_DIR
set -u
tool=$1 src=$2 assets=$3 work=$4
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then echo "FAIL: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}

"$tool" --help > "$work/help" 2>&1; check "--help status" 0 $?
grep -q "^usage: cgmtool FILE" "$work/help"; check "--help prints usage" 0 $?
"$tool" --version > /dev/null 2>&1; check "--version status" 0 $?
"$tool" > /dev/null 2>&1; check "no arguments" 2 $?
"$tool" x.cgm --frobnicate 2> "$work/err"; check "unknown option" 2 $?
grep -q "^usage:" "$work/err"; check "unknown option prints usage" 0 $?
"$tool" x.cgm -o 2> /dev/null; check "missing value" 2 $?
"$tool" x.cgm -o y.png --size 0x10 2> /dev/null; check "bad size" 2 $?
"$tool" "$work/none.cgm" --info 2> "$work/err"; check "missing file" 2 $?

printf 'BEGMF x; colrtable 1 0 0 0; polygon (0,0) (1,' > "$work/broken.cgm"
"$tool" "$work/broken.cgm" --info > /dev/null 2> "$work/err"; check "broken file status" 2 $?
check "broken file message lines" 1 "$(wc -l < "$work/err")"
grep -q "broken.cgm: .*point" "$work/err"; check "broken file message names the fault" 0 $?

fig2dev -L cgm "$src/fig/boxes.fig" "$work/boxes.cgm"; check "fig2dev" 0 $?
"$tool" "$work/boxes.cgm" -o "$work/boxes.png" --size 800x500 --info > "$work/info"; check "draw" 0 $?
head -c 8 "$work/boxes.png" | od -An -tx1 | tr -d ' \n' > "$work/magic"
check "PNG signature" "89504e470d0a1a0a" "$(cat "$work/magic")"
# Width 800 and height 500 from the IHDR chunk.
check "PNG size" "00000320000001f4" "$(od -An -tx1 -j16 -N8 "$work/boxes.png" | tr -d ' \n')"
grep -q "4 elements, 15 outline points, 6 triangles" "$work/info"; check "info counts" 0 $?
grep -q "bounding box x -65536..65536" "$work/info"; check "info box" 0 $?

"$tool" "$src/../../tools/assetgen/drawings/piece1.cgm" --compact "$work/piece1.bin"; check "compact" 0 $?
# The generator turns the drawing's grey fills into palette indices, so the
# drawing's compact form has the embedded piece's size and geometry but
# not its fill bytes; the embedded piece itself reads and writes back.
[ "$(stat -c %s "$work/piece1.bin")" = "$(stat -c %s "$assets/piece1.bin")" ]; check "compact of the drawing has the embedded size" 0 $?
"$tool" "$assets/piece1.bin" --compact "$work/piece1b.bin"; check "piece1 compact to compact" 0 $?
cmp -s "$work/piece1b.bin" "$assets/piece1.bin"; check "piece1 read and written back" 0 $?
"$tool" "$assets/piece2.bin" --compact "$work/piece2.bin" -o "$work/piece2.png"; check "compact to compact" 0 $?
cmp -s "$work/piece2.bin" "$assets/piece2.bin"; check "piece2 read and written back" 0 $?

[ $failures -eq 0 ] && echo "cgmtool: all checks passed"
exit $((failures > 0))
