#!/usr/bin/env bash
# Screenshots of the conversion window (waiting on a record with several candidates) and of its
# dialogs, taken from the screen of an Xvfb server. Usage: scripts/screenshots-conv.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
build=${KOMPA_BUILD_DIR:-build}
mkdir -p "$out"
if [ ! -x "$build/bin/conv_screens_test" ]; then
    cmake -S . -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target conv_screens_test dictionaries >/dev/null

display=:${KOMPA_SHOTS_DISPLAY:-97}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

# The scenes run in the test program on the real (xcb) platform; it saves the screen itself.
DISPLAY=$display QT_QPA_PLATFORM=xcb KOMPA_SHOTS_DIR="$out" "$build/bin/conv_screens_test" >/dev/null
ls -1 "$out"/conv-*.png
