#!/usr/bin/env bash
# The static checks: every C++ file formatted as .clang-format says (clang-format 15 or later,
# --dry-run -Werror), and clang-tidy clean (.clang-tidy) on every translation unit of ours in
# the build's compile_commands.json. Builds ./build (or $ORVELLE_BUILD_DIR) first, as
# scripts/build.sh does, for the commands and the files Qt's generators write.
#
# clang-tidy takes about ten seconds of processor time for a unit (up to a minute for the larger
# GoogleTest programs; a first run over the tree about 20 minutes on two cores), so units found
# clean are remembered under a key of everything their result depends on
# (scripts/clang-tidy-cached.py): a later run checks only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-tidy clang-format-15 python3

echo "== clang-format"
scripts/format.sh --check

echo "== clang-tidy"
scripts/build.sh
build_dir="${ORVELLE_BUILD_DIR:-build}"
python3 scripts/clang-tidy-cached.py --build "$build_dir" -j "$(nproc)"
