#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo library demo/demo.kvd when it is not there
# yet, points the machine-registry stand-in at it and starts the viewer.
# Extra arguments are passed to the program (it takes none today).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
build_dir="${ORVELLE_BUILD_DIR:-build}"
registry_file="/etc/orvelle/machine.reg"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

scripts/install-deps.sh
scripts/build.sh

library="$repo/demo/demo.kvd"
if [ ! -e "$library" ]; then
    mkdir -p "$repo/demo"
    echo "Building the demo library: $library"
    "$build_dir/tools/demolibrary/make-demo-library" "$library"
fi

# regedit text: backslashes and quotes in the value are escaped.
escaped_path="$(printf '%s' "$library" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')"
registry_text="$(printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\n"DataBasePath"="%s"\n' "$escaped_path")"
if [ ! -f "$registry_file" ] || [ "$(cat "$registry_file")" != "$registry_text" ]; then
    echo "Writing $registry_file (DataBasePath = $library)"
    $SUDO mkdir -p "$(dirname "$registry_file")"
    printf '%s\n' "$registry_text" | $SUDO tee "$registry_file" >/dev/null
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    echo "Run under a virtual display:   xvfb-run -a $0" >&2
    echo "or without any window at all:  QT_QPA_PLATFORM=offscreen $0" >&2
    exit 1
fi

export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.webenginecontext.info=false}"
if [ "$(id -u)" -eq 0 ]; then
    # Chromium refuses to start its sandbox as root.
    case " ${QTWEBENGINE_CHROMIUM_FLAGS:-} " in
    *" --no-sandbox "*) ;;
    *) export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:+$QTWEBENGINE_CHROMIUM_FLAGS }--no-sandbox" ;;
    esac
fi

program="$build_dir/app/Orvelle"
if [ ! -x "$program" ]; then
    echo "$program is missing: the build did not produce the viewer." >&2
    exit 1
fi
exec "$program" "$@"
