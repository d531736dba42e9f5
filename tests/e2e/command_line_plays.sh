#!/usr/bin/env bash
# The real executable with a stream address on its command line: --help and --version end at
# once without a display, an unknown option ends with 2, and a loopback stream given as the
# argument plays in the pane once the main window is up (its picture is no longer black).
#   command_line_plays.sh EXECUTABLE DATA_TXT
set -euo pipefail
exe=$1
. "$(dirname "$0")/xvfb_program.sh"
xvfb_program "$1" "$2"
run() { env -u DISPLAY XDG_CONFIG_HOME="$dir/config" MARLU_MACHINE_HIVES="$dir/hives" "$dir/$(basename "$exe")" "$@"; }
run --version | grep -q "^Marlu Viewer " || { echo "--version printed nothing"; exit 1; }
run --help | grep -q -- "--language" || { echo "--help printed no options"; exit 1; }
status=0; run --no-such-option 2>"$dir/err.txt" || status=$?
[ "$status" -eq 2 ] && grep -q "no-such-option" "$dir/err.txt" || { echo "unknown option: status $status"; exit 1; }
echo "--help, --version and an unknown option end as they should"

# A bright test picture served on loopback.
mkdir "$dir/www"
ffmpeg -loglevel error -f lavfi -i "testsrc=size=320x240:rate=25" -t 20 -c:v mpeg2video -q:v 4 -f mpegts "$dir/www/test.ts"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$dir/www" >/dev/null 2>&1 & server=$!
trap 'kill ${viewer:-0} ${xvfb:-0} ${server:-0} 2>/dev/null || true; rm -rf "$dir"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
QT_QPA_PLATFORM=xcb DISPLAY=$display XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" MARLU_MACHINE_HIVES="$dir/hives" \
  XDG_RUNTIME_DIR="$dir/run" "$dir/$(basename "$exe")" "http://127.0.0.1:$port/test.ts" >"$dir/out.log" 2>&1 & viewer=$!
# The player pane is the right part of the centred window: look for colour there.
for _ in $(seq 60); do
  sleep 0.5
  kill -0 "$viewer" || { echo "viewer exited early"; cat "$dir/out.log"; exit 1; }
  DISPLAY=$display import -window root "$dir/root.png" 2>/dev/null || continue
  mean=$(/usr/bin/convert "$dir/root.png" -crop 500x300+600+250 +repage -colorspace Gray -format '%[fx:mean]' info:)
  if python3 -c "import sys; sys.exit(0 if float('$mean') > 0.15 else 1)"; then
    echo "the stream named on the command line plays (mean brightness $mean)"
    exit 0
  fi
done
echo "no picture from the stream named on the command line"; tail -20 "$dir/out.log"; exit 1
