#!/usr/bin/env bash
# Launch-and-look: the real executable under Xvfb, in a temporary program folder with the
# shipped catalogue, shows its main window at the design size and keeps running.
set -euo pipefail
exe=$1
. "$(dirname "$0")/xvfb_program.sh"
xvfb_program "$1" "$2"
QT_QPA_PLATFORM=xcb DISPLAY=$display XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" MARLU_MACHINE_HIVES="$dir/hives" XDG_RUNTIME_DIR="$dir/run" "$dir/$(basename "$exe")" \
  >"$dir/out.log" 2>&1 & viewer=$!
size=""
for _ in $(seq 30); do
  sleep 0.5
  kill -0 "$viewer" || { echo "viewer exited early:"; cat "$dir/out.log"; exit 1; }
  DISPLAY=$display import -window root "$dir/root.png" 2>/dev/null || continue
  size=$(/usr/bin/convert "$dir/root.png" -trim -format '%w %h' info:)
  set -- $size
  [ "${1:-0}" -ge 900 ] && [ "${2:-0}" -ge 600 ] && break
done
echo "window on screen: ${size:-none}"
set -- $size
[ "${1:-0}" -ge 900 ] && [ "${2:-0}" -ge 600 ]
# Standard error stays quiet: no complaint about GPU libraries the machine does not have.
sleep 1
if grep -i "cannot load\|libcuda" "$dir/out.log"; then echo "the viewer complained on standard error"; exit 1; fi
