#!/usr/bin/env bash
# Installs what is missing, builds a Release build in build/ and starts the demo.
set -e
cd "$(dirname "$0")"
source ./setup.sh
ulv_setup
ulv_build build -DCMAKE_BUILD_TYPE=Release
exec ./build/ulvenor
