#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${ORVELLE_BUILD_DIR:-build}"
ctest --test-dir "$build_dir" --output-on-failure -j2
