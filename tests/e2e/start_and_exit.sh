#!/usr/bin/env bash
# The real executable under Xvfb: the splash comes first, then the main window; File > Exit
# with the about window open ends the program, leaving no process behind.
set -euo pipefail
exe=$1
. "$(dirname "$0")/xvfb_program.sh"
xvfb_program "$1" "$2"
export DISPLAY=$display
# Under AddressSanitizer, the GL driver that X loads and unloads leaves allocations whose
# module is gone by the time leaks are checked; memory errors are still caught.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" MARLU_MACHINE_HIVES="$dir/hives" XDG_RUNTIME_DIR="$dir/run" "$dir/$(basename "$exe")" \
  >"$dir/out.log" 2>&1 & viewer=$!
size() { import -window root "$dir/root.png" 2>/dev/null && /usr/bin/convert "$dir/root.png" -trim -format '%w %h' info:; }
seen_splash=no
for _ in $(seq 100); do
  sleep 0.1
  set -- $(size || echo "0 0")
  if [ "$1" -ge 400 ] && [ "$1" -le 560 ]; then seen_splash=yes; fi
  if [ "$1" -ge 900 ]; then break; fi
done
echo "splash seen: $seen_splash; then a window of $1 x $2"
[ "$seen_splash" = yes ] && [ "$1" -ge 900 ]
win=$(xdotool search --name " by " | head -1)
eval "$(xdotool getwindowgeometry --shell "$win")"
# About > About this software, then File > Exit, by the menu bar's places.
xdotool mousemove $((X + 183)) $((Y + 9)) click 1; sleep 0.4
xdotool mousemove $((X + 200)) $((Y + 30)) click 1; sleep 0.6
xdotool search --name "^About " >/dev/null && echo "about window open"
xdotool mousemove $((X + 20)) $((Y + 9)) click 1; sleep 0.4
xdotool key Up; sleep 0.2; xdotool key Return  # the last entry of the open menu: Exit
for _ in $(seq 50); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$viewer" 2>/dev/null; then echo "still running after Exit"; exit 1; fi
status=0; wait "$viewer" || status=$?
[ "$status" -eq 0 ] || tail -40 "$dir/out.log"
echo "exited with $status"
[ "$status" -eq 0 ]
