#!/usr/bin/env bash
# Installs what is missing, builds the demo, its assets and its tools (Release,
# build/, no tests) and starts the demo.
set -e
cd "$(dirname "$0")"
source ./setup.sh
ulv_setup
ulv_build build -DCMAKE_BUILD_TYPE=Release -DULV_TESTS=OFF
exec ./build/ulvenor
