#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${ORVELLE_BUILD_DIR:-build}"
# The tests' caches start empty: a test program killed while the engine held its lock table
# (a time-out, a ^C) can leave it locked for every later run that uses the same folder.
rm -rf "$build_dir/test-cache"
ctest --test-dir "$build_dir" --output-on-failure -j2
