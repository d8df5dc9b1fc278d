#!/usr/bin/env bash
# Installs what is missing, builds build/ (Release, with the tests) and runs
# every test but the browser tests (label web: .ci/run builds the page and
# runs them).
set -e
cd "$(dirname "$0")"
source ./setup.sh
ulv_setup
ulv_build build -DCMAKE_BUILD_TYPE=Release -DULV_TESTS=ON
ctest --test-dir build --output-on-failure -j "$(nproc)" -LE web
