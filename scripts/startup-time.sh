#!/usr/bin/env bash
# Start-up time of the desktop program: process start to the frame painted with both
# dictionaries open. Runs the program's own entry linked with a probe that ends the process
# at the frame's first paint, under a virtual X server, through hyperfine.
# Usage: scripts/startup-time.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target kompa_startup_probe >/dev/null
display=${STARTUP_DISPLAY:-:9}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
json=$(mktemp)
(cd "$build/bin" && hyperfine -N -w 3 -r 30 --export-json "$json" ./kompa_startup_probe)
python3 -c "import json,sys; r=json.load(open(sys.argv[1]))['results'][0]; print('median %.1f ms' % (r['median']*1000))" "$json"
rm -f "$json"
