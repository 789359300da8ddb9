#!/usr/bin/env bash
# Shows the built-in demo in `marklet view` on a private Xvfb display, puts
# the pointer on a link and saves a screenshot of the window.
#   scripts/screenshot-view.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
build=${1:-build}
out=${2:-docs/view.png}
display=":$((90 + RANDOM % 100))"

Xvfb "$display" -screen 0 640x300x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$view" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1

records=$(mktemp)
DISPLAY=$display "$build/marklet" view --width 480 --height 190 --prop LinkDisplay=2 --prop ActiveLinkColor=255 >"$records" &
view=$!
for _ in $(seq 50); do grep -q '"window"' "$records" && break; sleep 0.1; done
window=$(grep -o '"window":[0-9]*' "$records" | head -1 | cut -d: -f2)
# The pointer on "the home page" link of the demo's fourth line.
DISPLAY=$display xdotool mousemove 70 47
sleep 0.5
DISPLAY=$display import -window "$window" "$out"
echo "$out"
grep '"event":"MouseMove"' "$records" | tail -1
