#!/usr/bin/env bash
# Tests of the cycle model (bench/arm/cyclecount.c) on a small armel
# program with known answers (bench/arm/cycleprobe.S): cache fills of cold
# and cached reads, write-buffer entries of stores that miss, and the core
# costs of a few loops. Needs the armel toolchain and Debian's dynamic
# qemu-arm (setup.sh's armel packages). Prints "N passed, M failed".
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap '[ -n "$KEEP" ] && cat "$tmp/phases.txt"; rm -rf "$tmp"' EXIT
cc -std=c11 -O2 -Wall -Wextra -Werror -shared -fPIC -fvisibility=hidden cyclecount.c -o "$tmp/cyclecount.so"
arm-linux-gnueabi-gcc -static cycleprobe.S -o "$tmp/probe"
qemu-arm -plugin "$tmp/cyclecount.so,out=$tmp/counts.txt" "$tmp/probe"

# One line per phase: the differences between successive marks, fields
# insns cycles optimistic pessimistic dfills ifills store_misses tlb_misses.
awk '$1 != "total" { if (n++) { split(prev, a, " "); line = ""
       for (i = 1; i <= 8; i++) line = line " " ($i - a[i]); print substr(line, 2) }
     prev = $0 }' "$tmp/counts.txt" >"$tmp/phases.txt"

passed=0
failed=0
# check NAME WANT GOT
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1: want $2, got $3"
  fi
}
field() { sed -n "${1}p" "$tmp/phases.txt" | cut -d' ' -f"$2"; }
# core PHASE FIELD FILL: the phase's cycles on that clock less its line
# fills (the main program's own code is fetched for the first time as the
# phases go on; no stores wait in those phases, so a fill costs FILL).
core() { echo $(($(field "$1" "$2") - $3 * ($(field "$1" 5) + $(field "$1" 6)))); }
delta() { echo $(($(core "$2" "$3" "$4") - $(core "$1" "$3" "$4"))); }

check "phases" 15 "$(wc -l <"$tmp/phases.txt")"
check "64 KB read: data fills" 2048 "$(field 1 5)"
check "64 KB read: no store misses" 0 "$(field 1 7)"
check "8 KB read twice: data fills" 256 "$(field 2 5)"
check "1024 stores to an unread buffer: write-buffer entries" 1024 "$(field 3 7)"
check "1024 stores to an unread buffer: no fills" 0 "$(field 3 5)"
check "128 eight-word STMs: one entry each" 128 "$(field 4 7)"
# 1000 more rounds of each loop, central constants (field 2, fill 35):
check "ALU loop: 4 issues + a taken branch (2 more)" 6000 "$(delta 5 6 2 35)"
check "ALU loop: instructions" 4000 "$(($(field 6 1) - $(field 5 1)))"
check "word load used next: +1" 7000 "$(delta 7 8 2 35)"
check "byte load used next: +2" 8000 "$(delta 9 10 2 35)"
check "MUL (2) with its result used next: +1" 8000 "$(delta 11 12 2 35)"
check "core costs do not depend on the memory constants" 8000 "$(delta 11 12 4 50)"
# Phase 15 starts and ends with a full write buffer and the bus busy
# throughout: one store per drain of a single write (8, 6, 12 cycles).
check "full write buffer, central" $((2048 * 8)) "$(field 15 2)"
check "full write buffer, optimistic" $((2048 * 6)) "$(field 15 3)"
check "full write buffer, pessimistic" $((2048 * 12)) "$(field 15 4)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
