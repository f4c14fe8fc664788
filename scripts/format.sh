#!/usr/bin/env bash
# Formats every C++ file of the project with the rules in .clang-format (which need
# clang-format 15 or later for InsertBraces). With file arguments, formats only those.
# With --check, changes nothing and fails when a file is not formatted (each difference shown).
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=""
for candidate in clang-format-16 clang-format-15 clang-format; do
    if command -v "$candidate" >/dev/null && \
        [ "$("$candidate" --version | sed -E 's/.*version ([0-9]+).*/\1/')" -ge 15 ]; then
        formatter="$candidate"
        break
    fi
done
if [ -z "$formatter" ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang-format-15 >/dev/null
    formatter=clang-format-15
fi
mode=(-i)
if [ "${1:-}" = "--check" ]; then
    mode=(--dry-run -Werror)
    shift
fi
if [ $# -gt 0 ]; then
    exec "$formatter" "${mode[@]}" "$@"
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 "$formatter" "${mode[@]}"
