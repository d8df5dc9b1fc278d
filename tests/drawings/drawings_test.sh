#!/bin/sh
# A handful of real xfig drawings (package xfig-libs) end to end: fig2dev
# -L cgm, cgmtool --info for element and triangle counts, cgmtool --page at
# the size of fig2dev -L png's picture, and cgm_coverage for how much of
# fig2dev's drawn pixels cgmtool draws too.
# Arguments: CGMTOOL CGM_COVERAGE
set -u
tool=$1 coverage=$2
lib=/usr/share/xfig/Libraries
work=$(mktemp -d "${TMPDIR:-/tmp}/cgmtool_drawings.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# convert NAME: NAME.cgm, NAME.ref.png and NAME.info in the work folder.
convert() {
  fig2dev -L cgm "$lib/$1.fig" "$work/$(basename "$1").cgm" || fail "$1: fig2dev -L cgm"
  fig2dev -L png "$lib/$1.fig" "$work/$(basename "$1").ref.png" || fail "$1: fig2dev -L png"
  "$tool" "$work/$(basename "$1").cgm" --info > "$work/$(basename "$1").info" 2> "$work/$(basename "$1").err" ||
    fail "$1: cgmtool --info: $(cat "$work/$(basename "$1").err")"
}

# covers NAME MIN: cgmtool's picture covers at least MIN of fig2dev's.
covers() {
  n=$(basename "$1")
  size=$(od -An -tu1 -j16 -N8 "$work/$n.ref.png" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
  "$tool" "$work/$n.cgm" -o "$work/$n.png" --size "$size" --page 2>> "$work/$n.err" || fail "$1: cgmtool -o"
  got=$("$coverage" "$work/$n.ref.png" "$work/$n.png" | awk '{ print $2 }')
  awk -v got="$got" -v min="$2" 'BEGIN { exit !(got >= min) }' || fail "$1: coverage $got, below $2"
}

# has NAME PATTERN: the --info output holds a line matching PATTERN.
has() {
  grep -q "$2" "$work/$(basename "$1").info" || fail "$1: no line '$2' in: $(grep elements "$work/$(basename "$1").info")"
}

# Arrowheads written as "polygon (a)(b)(c);": each keeps its three corners
# (four outline points, closed) and its triangle, and the arcs come through.
# The rasteriser lays a thick line's width across its main axis, so lines of
# 5 and 8 pixels at a slant come out thinner than fig2dev's: 0.92 here.
d=Arrows/circle_arrow1
convert $d
has $d "4 elements, .* 2 triangles"
has $d "element 1: flags 3 (fill+outline), fill 1, 1 triangles, line 1 width 8, 4 points"
covers $d 0.9

# Comments around the line ("% Simple line %"): the line is read whole.
d=Origami/line
convert $d
has $d "element 0: flags 1 (outline), fill 1, line 1 width 1, 2 points"
covers $d 0.99

# The OR gate: white fills with edge width 0 between lines of width 1 (15
# units); the lines keep their own width after "edgewidth 0".
d=Logic/gate_or
convert $d
has $d "10 elements"
[ "$(grep -c 'flags 1 (outline).*line 1 width 1,' "$work/gate_or.info")" -eq 6 ] || fail "$d: six lines of width 1"
covers $d 0.99

# A map whose outline has 752 points: read, not refused for its length.
d=Maps/Asia/japan
convert $d
has $d "line 1 width 1, 752 points"
covers $d 0.99

# The 449-point body of a 3D arrow: a simple polygon the ear clipping fills.
d=Arrows/3darrow1
convert $d
has $d "element 2: flags 2 (fill), fill 33, [1-9][0-9]* triangles"
covers $d 0.99

# Circles and arcs with fills and edges.
d=Audiovisual/monitor1
convert $d
has $d "13 elements"
has $d "element 7: flags 3 (fill+outline), fill 1, [1-9][0-9]* triangles, line 1 width 1"
covers $d 0.99

# A first colour table of 464 entries, 61 colours: each held once.
d=Electronic/Schematic/Imperial/f_trans-fet-n-type
convert $d
has $d "^[^ ].*: 61 colours"
has $d "11 elements"
covers $d 0.99

[ $failures -eq 0 ] && echo "drawings: all checks passed"
exit $((failures > 0))
