#!/usr/bin/env bash
# The layers below Qt, built for Windows with MinGW-w64 and tested under Wine:
#   - builds the 32-bit (i686) and 64-bit (x86_64) targets without Qt;
#   - checks that the stand-in client library exports the client API under plain names
#     (isc_attach_database, not isc_attach_database@24), as the real gds32.dll does;
#   - runs the 64-bit tests under Wine. The 32-bit build is compiled and linked only: running
#     it needs Wine's 32-bit part, which a machine without the i386 architecture lacks.
# Builds into ./build-windows (or $ORVELLE_WINDOWS_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build firebird-dev googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine64
)
scripts/install-deps.sh "${packages[@]}"

root="$(pwd)"
build_root="${ORVELLE_WINDOWS_BUILD_DIR:-$root/build-windows}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

build() {
    local arch="$1"
    shift
    echo "== Windows $arch: build"
    cmake -S . -B "$build_root/mingw-$arch" -G Ninja \
        --toolchain "$root/cmake/toolchains/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVELLE_WITH_QT=OFF -DORVELLE_BUILD_BENCHMARKS=OFF \
        "${launcher[@]}" "$@" >/dev/null
    cmake --build "$build_root/mingw-$arch"
}

# The 32-bit stand-in first: the 64-bit tests load it as a gds32.dll that does not fit.
build i686
build x86_64 \
    -DORVELLE_FAKECLIENT_OTHER_BITNESS="$build_root/mingw-i686/bin/orvelle_fakeclient.dll"

echo "== Windows: exported names of the stand-in client library"
expected=(
    isc_attach_database isc_blob_info isc_close_blob isc_commit_transaction isc_database_info
    isc_detach_database isc_dsql_alloc_statement2 isc_dsql_describe isc_dsql_describe_bind
    isc_dsql_execute2 isc_dsql_fetch isc_dsql_free_statement isc_dsql_prepare
    isc_dsql_set_cursor_name isc_dsql_sql_info isc_get_segment isc_interprete isc_open_blob2
    isc_rollback_transaction isc_sqlcode isc_start_multiple isc_vax_integer
)
for arch in i686 x86_64; do
    dll="$build_root/mingw-$arch/bin/orvelle_fakeclient.dll"
    exported="$("$arch-w64-mingw32-objdump" -p "$dll" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[[:space:]]*\[/ {print $NF}' |
        grep '^isc_' | sort)"
    wanted="$(printf '%s\n' "${expected[@]}" | sort)"
    if [ "$exported" != "$wanted" ]; then
        echo "$arch: the stand-in exports other client API names than expected:" >&2
        diff <(echo "$wanted") <(echo "$exported") >&2 || true
        exit 1
    fi
    echo "$arch: ${#expected[@]} isc_* entry points under plain names"
done

echo "== Windows x86_64: tests under Wine"
export WINEPREFIX="$build_root/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
wineserver=/usr/lib/wine/wineserver64
# One persistent wineserver, started before ctest with its output away from ctest's pipes:
# a server that a test program starts inherits the test's output and ctest waits for it.
mkdir -p "$WINEPREFIX"
"$wineserver" -p >/dev/null 2>&1 </dev/null
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 </dev/null
ctest --test-dir "$build_root/mingw-x86_64" --output-on-failure -j2 --timeout 120
