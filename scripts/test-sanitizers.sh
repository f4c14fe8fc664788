#!/usr/bin/env bash
# The tests that open no window (ctest label "headless": the database components against the
# stand-in and against the real embedded Firebird client, the register, search, the tools, the
# seams below the GUI), built with AddressSanitizer and UndefinedBehaviorSanitizer by the "asan"
# preset into out/asan. Any report ends its test with a failure, and so this script.
#
# The preset's test environment:
#   ASAN_OPTIONS  halt_on_error=1 with -fno-sanitize-recover=all: the first report ends the
#                 test. detect_leaks=1: LeakSanitizer at every test program's exit.
#                 intercept_tls_get_addr=0: the Firebird client loads and unloads modules of its
#                 own (character sets, the engine, ICU probes); LeakSanitizer then crashes at
#                 exit reading a stale record of a dynamic TLS block ("Tracer caught signal 11",
#                 a block said to start at 0x9b) in make-demo-library and the demo library's
#                 tests. Without that bookkeeping the blocks are ordinary heap blocks, still
#                 scanned; no report is hidden.
#   UBSAN_OPTIONS print_stacktrace=1, halt_on_error=1.
# Nothing is suppressed: none of the client library's leaks or signal handlers gets in the way.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset asan "${launcher[@]}" >/dev/null
cmake --build --preset asan
ctest --preset asan --timeout 600
