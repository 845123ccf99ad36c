#!/usr/bin/env bash
# Starts the desktop program under a virtual X server, drives it with the keyboard and takes
# screenshots into screenshots/: the search window after a code with the prefecture on, after an
# address, after an office's code and an office name, and the about dialog.
# Usage: scripts/screenshots.sh [path/to/kompa]   (default: the newest build-*/bin/kompa)
set -euo pipefail
cd "$(dirname "$0")/.."

kompa=${1:-$( (ls -t build/bin/kompa build-*/bin/kompa 2>/dev/null || true) | head -1)}
[ -x "$kompa" ] || { echo "no kompa binary found; build first" >&2; exit 1; }
display=${SCREENSHOT_DISPLAY:-:9}
out=screenshots
mkdir -p "$out"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
kompa_pid=
cleanup() {
    [ -n "$kompa_pid" ] && kill "$kompa_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$kompa" >/dev/null 2>&1 &
kompa_pid=$!
xdotool search --sync --name '^KOMPA$' >/dev/null
sleep 0.5

shot() {
    sleep 0.4
    import -window root "$out/$1.png"
    echo "$out/$1.png"
}

# Search window: a code, then the prefecture check box (second in the tab order).
xdotool key ctrl+f
xdotool type --delay 20 1000001
xdotool key Return
xdotool key Tab space
shot search-code

# An address: back to the edit box, replace its text.
xdotool key shift+Tab ctrl+a
xdotool type --delay 40 '東京都千代田区丸の内'
xdotool key Return
shot search-address

# Offices: an office's own code, then a name with 事業所も探す (third in the tab order) ticked.
xdotool key ctrl+a
xdotool type --delay 20 1008926
xdotool key Return
shot search-office-code
xdotool key ctrl+a
xdotool type --delay 40 'ホクレン'
xdotool key Return Tab Tab space
shot search-office-names

# The about dialog is on the frame's own help menu, shown once no child window is open.
xdotool key ctrl+Delete
sleep 0.3
xdotool key alt+h
sleep 0.2
xdotool key a
shot about
xdotool key Return

# The conversion window and its dialogs: their scenes are set up by a test program of the same build.
KOMPA_BUILD_DIR=$(dirname "$(dirname "$kompa")") bash scripts/screenshots-conv.sh "$out"
