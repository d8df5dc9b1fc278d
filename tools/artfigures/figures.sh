#!/usr/bin/env bash
# Takes a still at every position of the skull and gargoyle scenes with the
# built capture tool and prints the figures of ulvenor-artfigures.
# usage: tools/artfigures/figures.sh [BUILD_DIR] [STILLS_DIR]  (-v via ARTFIG_VERBOSE=1)
set -euo pipefail
build=${1:-build}
stills=${2:-$build/artfigures-stills}
mkdir -p "$stills"
shots=()
for p in $(seq 300 647) $(seq 1300 1747); do
  (( p % 100 < 64 )) && shots+=(--shot "$p")  # a pattern has 64 rows
done
"$build/tools/capture/ulvenor-capture" --out "$stills" "${shots[@]}" --quiet
"$build/tools/artfigures/ulvenor-artfigures" ${ARTFIG_VERBOSE:+-v} "$stills"
"$build/tools/artfigures/ulvenor-artfigures" --stars-greets
