#!/usr/bin/env bash
# Launch-and-look: the real executable under Xvfb, in a temporary program folder with the
# shipped catalogue, shows its main window at the design size and keeps running.
set -euo pipefail
exe=$1; data=$2
command -v Xvfb >/dev/null || { echo "Xvfb missing"; exit 1; }
dir=$(mktemp -d)
trap 'kill ${viewer:-0} ${xvfb:-0} 2>/dev/null || true; rm -rf "$dir"' EXIT
cp "$exe" "$dir/"; cp "$data" "$dir/Data.txt"
display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
mkdir -m 700 "$dir/run"
QT_QPA_PLATFORM=xcb DISPLAY=$display XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" "$dir/$(basename "$exe")" \
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
