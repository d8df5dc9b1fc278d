#!/bin/sh
# cgmtool from the command line: usage and exit codes, a broken file, inputs
# that are no picture, outputs that would replace the input, warnings for
# what is skipped or dropped, a drawing converted by fig2dev drawn to PNG,
# and the compact form written back byte for byte.
# Arguments: CGMTOOL SOURCE_DIR ASSET_DIR
set -u
tool=$1 src=$2 assets=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/cgmtool_cli.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
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

# A drawing cut short between elements or inside one (the colour table, a
# later colour definition, a point list) is refused with how far it read,
# never drawn as the part that came.
printf 'BEGMF "t"; colrtable 1 255 0 0 0 255 0; fillcolr 1; intstyle solid;\npolygon (0,0) (100,0) (100,100);\ncolrtable 3 0 0 255 9 9 9;\nfillcolr 2; polygon (0,0) (-100,0) (-100,-100);\nENDPIC; ENDMF;\n' > "$work/whole.cgm"
"$tool" "$work/whole.cgm" -o "$work/whole.png" --info > "$work/out"; check "the whole drawing" 0 $?
grep -q "^  2 elements" "$work/out"; check "the whole drawing has 2 elements" 0 $?
cut_at() {  # cut_at TEXT EXPECTED-MESSAGE: the drawing up to the end of TEXT's first occurrence
  head -c "$(($(grep -bo "$1" "$work/whole.cgm" | head -n 1 | cut -d: -f1) + ${#1}))" "$work/whole.cgm" > "$work/cut.cgm"
  "$tool" "$work/cut.cgm" -o "$work/cut.png" 2> "$work/err"; check "cut after '$1' status" 2 $?
  check "cut after '$1' says" "cgmtool: $work/cut.cgm: $2" "$(cat "$work/err")"
  [ ! -e "$work/cut.png" ]; check "cut after '$1' draws nothing" 0 $?
}
short="before the picture's end (ENDPIC or ENDMF)"
cut_at 'colrtable 1 255 0' "end of file inside the colour table (after 1 whole element)"
cut_at '0 255 0;' "cut short after 2 whole elements, $short"
cut_at '(100,100);' "cut short after 5 whole elements, $short"
cut_at 'colrtable 3 0 0 255 9' "cut short after 5 whole elements, $short"
cut_at '(-100,0)' "end of file inside a point list (after 7 whole elements)"
cut_at 'ENDPIC' "cut short after 8 whole elements, $short"

# A FIFO with no writer is not waited for; one with a writer is read.
mkfifo "$work/fifo"
timeout 10 "$tool" "$work/fifo" --info > /dev/null 2> "$work/err"; check "a FIFO with no writer" 2 $?
check "a FIFO with no writer says" "cgmtool: $work/fifo: a FIFO or pipe with nothing written into it, not a picture" "$(cat "$work/err")"
"$tool" /dev/stdin --info < "$work/whole.cgm" > "$work/out"; check "standard input from a file" 0 $?
cat "$work/whole.cgm" | "$tool" /dev/stdin --info > "$work/out"; check "a pipe" 0 $?
grep -q "^  2 elements" "$work/out"; check "a pipe is read whole" 0 $?

grep -q "^Drawn: polygon, rect, line" "$work/help"; check "--help says what is drawn" 0 $?
grep -q "^edge widths and colours. Skipped, with one warning line per file: text" "$work/help"
check "--help says what is skipped" 0 $?

# Inputs that are no picture: one line, status 2, at once.
: > "$work/empty.cgm"
head -c 40 "$src/fig/boxes.fig" > "$work/drawing.fig"
printf '\001\001\002\003\377\000' > "$work/trailing.bin"
for input in "$work" "$work/empty.cgm" /dev/zero "$work/drawing.fig" "$work/trailing.bin"; do
  "$tool" "$input" --info > /dev/null 2> "$work/err"; check "$input status" 2 $?
  check "$input message lines" 1 "$(wc -l < "$work/err")"
done
"$tool" "$work/drawing.fig" --info 2>&1 | grep -q "a FIG drawing; convert it first: fig2dev -L cgm"
check "a FIG file is pointed to fig2dev" 0 $?

# Outputs naming the input are refused and the input stays as it was.
printf 'BEGMF x; colrtable 1 0 0 0 255 0 0;\nlinecolr 2; line (0,0)(9,9);\ntext (1,1) final %s;\nENDPIC; ENDMF;\n' "'a line (1,1) (2,2);'" > "$work/lines.cgm"
cp "$work/lines.cgm" "$work/lines.orig"
"$tool" "$work/lines.cgm" -o "$work/lines.cgm" 2> /dev/null; check "-o naming the input" 2 $?
"$tool" "$work/lines.cgm" --compact "$work/./lines.cgm" 2> /dev/null; check "--compact naming the input" 2 $?
cmp -s "$work/lines.cgm" "$work/lines.orig"; check "input untouched" 0 $?

# Skipped text and dropped outlines: one warning line each, status 0.
"$tool" "$work/lines.cgm" -o "$work/lines.png" --compact "$work/lines.bin" 2> "$work/err"; check "warnings status" 0 $?
grep -q "lines.cgm: skipped 1 text element$" "$work/err"; check "text warning" 0 $?
grep -q "lines.cgm: the compact form holds fills only: dropped 1 outline-only elements$" "$work/err"
check "compact warning" 0 $?
"$tool" "$work/lines.cgm" -o "$work/no/such/folder/x.png" 2> "$work/err"; check "unwritable output" 1 $?
grep -q "cannot write" "$work/err"; check "unwritable output message" 0 $?

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
