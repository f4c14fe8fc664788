#!/usr/bin/env bash
# Runs a test program on a real X server with a real window manager: Xvfb and openbox, both
# started here on a free display and ended with the program. Exits 77 (skipped) when either is
# not installed (scripts/install-deps.sh installs them).
set -euo pipefail

for tool in Xvfb openbox xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: run scripts/install-deps.sh" >&2
        exit 77
    fi
done

work=$(mktemp -d)
server=""
manager=""
finish() {
    [ -n "$manager" ] && kill "$manager" 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

# The server picks a free display and writes its number to the pipe's end when it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
manager=$!
# The window manager is ready once it has named itself on the root window.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
    echo "openbox did not start:" >&2
    cat "$work/openbox.log" >&2
    exit 1
fi

export QT_QPA_PLATFORM=xcb
"$@"
