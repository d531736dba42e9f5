#!/usr/bin/env bash
# A screen smaller than the designed window: 1920 x 1080 at a scale factor of 2 (960 x 540 in
# the window's own pixels), with a window manager. The main window, frame and title bar
# included, lies wholly on the screen, and still shows its controls.
set -euo pipefail
exe=$1
. "$(dirname "$0")/xvfb_program.sh"
xvfb_program "$1" "$2"
kill "$xvfb"; wait "$xvfb" 2>/dev/null || true
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
openbox >/dev/null 2>&1 & wm=$!
trap 'kill ${viewer:-0} ${wm:-0} ${xvfb:-0} 2>/dev/null || true; rm -rf "$dir"' EXIT
sleep 0.5
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2 XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" MARLU_MACHINE_HIVES="$dir/hives" \
  XDG_RUNTIME_DIR="$dir/run" "$dir/$(basename "$exe")" >"$dir/out.log" 2>&1 & viewer=$!
win=""
for _ in $(seq 100); do
  sleep 0.1
  win=$(xdotool search --onlyvisible --name " by " 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
done
[ -n "$win" ] || { echo "no main window"; cat "$dir/out.log"; exit 1; }
sleep 1.5  # the window manager's frame, and a settled place
eval "$(xdotool getwindowgeometry --shell "$win")"
read -r left right top bottom < <(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
echo "window $WIDTH x $HEIGHT at $X,$Y; frame left $left right $right top $top bottom $bottom"
[ "$((X - left))" -ge 0 ] && [ "$((Y - top))" -ge 0 ] &&
  [ "$((X + WIDTH + right))" -le 1920 ] && [ "$((Y + HEIGHT + bottom))" -le 1080 ] ||
  { echo "the window does not fit on the screen"; exit 1; }
[ "$WIDTH" -ge 1200 ] && [ "$HEIGHT" -ge 600 ] || { echo "the window shrank more than the screen asks"; exit 1; }
echo "the whole window is on the screen"
