#!/usr/bin/env bash
# The README's screenshots (docs/shots) are the frames of today's build at
# the positions their captions name: docs/shots/make.sh makes them afresh
# into a temporary folder, and each must equal its committed picture pixel
# for pixel. When this fails, rerun docs/shots/make.sh and commit.
# usage: docs_shots_test.sh SOURCE_DIR CAPTURE E2E_CHECK
SRC=$1
CAPTURE=$2
CHECK=$3
source "$(dirname "$0")/lib.sh"

ULV_CAPTURE=$CAPTURE "$SRC/docs/shots/make.sh" "" "$E2E_TMP/shots" >/dev/null || fail "make.sh failed"
made=0 bad=0
for f in "$E2E_TMP"/shots/*.png; do
  name=$(basename "$f")
  made=$((made + 1))
  if ! out=$("$CHECK" enlarged "$f" "$SRC/docs/shots/$name" 1 2>&1); then
    echo "docs/shots/$name is not today's frame: ${out:-missing or unreadable}"
    bad=$((bad + 1))
  fi
done
committed=$(find "$SRC/docs/shots" -maxdepth 1 -name '*.png' | wc -l)
[ "$made" = "$committed" ] || fail "the README shows $made screenshots, docs/shots holds $committed"
[ "$bad" = 0 ] || fail "$bad screenshot(s) out of date: run docs/shots/make.sh"
echo "all $made screenshots are today's frames"
