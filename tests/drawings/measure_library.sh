#!/bin/sh
# Measures cgmtool on a whole library of xfig drawings (by default Debian's
# xfig-libs): every drawing is converted with fig2dev -L cgm, read with
# cgmtool --info, and, when it holds no text, drawn with cgmtool --page at
# the size of fig2dev -L png's picture of the same drawing and compared with
# that picture by cgm_coverage.
#
# Prints the acceptance rate (of the drawings fig2dev converts), crashes and
# hangs (60 s), the median coverage of fig2dev's drawn pixels over the
# drawings without text, and the worst of them. Per-drawing results are
# kept in WORK/results.txt.
#
# Usage: tests/drawings/measure_library.sh CGMTOOL CGM_COVERAGE [LIBRARY] [WORK]
# With CGMTOOL_CHECK set to a build of cgmtool with sanitizers, that build
# does the reading and drawing instead (its pictures are the same); any
# report it prints counts as a crash of that drawing.
set -u
tool=$1 coverage=$2
check=${CGMTOOL_CHECK:-$tool}
lib=${3:-/usr/share/xfig/Libraries}
work=${4:-${TMPDIR:-/tmp}/cgm-library}
rm -rf "$work" && mkdir -p "$work" || exit 1
results=$work/results.txt
: > "$results"

find "$lib" -name '*.fig' | LC_ALL=C sort > "$work/list"
while read -r fig; do
  name=$(echo "${fig#"$lib"/}" | sed 's/\.fig$//' | tr '/ ' '__')
  cgm=$work/$name.cgm
  if ! fig2dev -L cgm "$fig" "$cgm" 2> /dev/null; then
    echo "$name unconverted" >> "$results"
    continue
  fi
  timeout 60 "$check" "$cgm" --info > /dev/null 2> "$work/err"
  rc=$?
  if [ $rc -eq 124 ]; then echo "$name hang" >> "$results"; continue; fi
  if [ $rc -ge 128 ] || grep -q "Sanitizer\|runtime error" "$work/err"; then
    echo "$name crash $rc" >> "$results"
    continue
  fi
  if [ $rc -ne 0 ]; then
    echo "$name refused $(head -n 1 "$work/err")" >> "$results"
    continue
  fi
  if grep -q '^text\|^restrtext\|^apndtext' "$cgm"; then
    echo "$name accepted text" >> "$results"
    continue
  fi
  ref=$work/$name.ref.png ours=$work/$name.png
  if ! fig2dev -L png "$fig" "$ref" 2> /dev/null; then
    echo "$name accepted nopng" >> "$results"
    continue
  fi
  size=$(od -An -tu1 -j16 -N8 "$ref" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
  if ! timeout 60 "$check" "$cgm" -o "$ours" --size "$size" --page 2> "$work/err" ||
    grep -q "Sanitizer\|runtime error" "$work/err"; then
    echo "$name crash drawing" >> "$results"
    continue
  fi
  echo "$name accepted $("$coverage" "$ref" "$ours")" >> "$results"
  rm -f "$ref" "$ours" "$cgm"
done < "$work/list"

awk '
  { total++ }
  $2 == "unconverted" { unconverted++ }
  $2 == "accepted" { accepted++ }
  $2 == "refused" { refused++; print "refused: " $0 }
  $2 == "crash" || $2 == "hang" { broken++; print "FAILED: " $0 }
  $2 == "accepted" && $3 == "coverage" { cov[++n] = $4; if ($4 >= 0.95) good++ }
  END {
    converted = total - unconverted
    printf "drawings: %d, converted by fig2dev: %d\n", total, converted
    printf "accepted by cgmtool: %d of %d (%.2f%%), refused %d, crashed or hung %d\n",
           accepted, converted, converted ? 100 * accepted / converted : 0, refused, broken
    if (n == 0) exit
    # insertion sort keeps this POSIX awk
    for (i = 2; i <= n; i++) { v = cov[i]; for (j = i - 1; j >= 1 && cov[j] > v; j--) cov[j + 1] = cov[j]; cov[j + 1] = v }
    median = n % 2 ? cov[(n + 1) / 2] : (cov[n / 2] + cov[n / 2 + 1]) / 2
    printf "drawings without text compared with fig2dev -L png: %d\n", n
    printf "coverage of fig2dev'\''s drawn pixels: median %.4f, lowest %.4f, %d of %d at 95%% or more\n",
           median, cov[1], good, n
  }' "$results"
echo "worst coverage:"
grep ' coverage ' "$results" | sort -k4 -n | head -n 10
