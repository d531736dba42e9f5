#!/usr/bin/env bash
# The program as a distribution installs it and an ordinary user starts it: the .deb unpacked
# into a temporary root, started there as the user nobody under Xvfb with an empty home and a
# machine-hive folder that user cannot write. The main window comes up on the first start with
# no message box; a favourite added is saved in the user's data folder and is there after a
# restart; the program folder and the machine hives are left as they were.
#   installed_package.sh PACKAGE.deb
set -euo pipefail
deb=$1
command -v runuser >/dev/null || { echo "no runuser: skipped"; exit 77; }
work=$(mktemp -d)
chmod 755 "$work"
trap 'kill ${viewer:-0} ${xvfb:-0} 2>/dev/null || true; rm -rf "$work"' EXIT
dpkg -x "$deb" "$work/root"
chmod -R a+rX "$work/root"
program=$(dirname "$(readlink -f "$work/root/usr/bin/marlu-viewer")")
[ -x "$program/MarluViewerFull" ] && [ -f "$program/Data.txt" ] && [ -f "$program/help/index.html" ] ||
  { echo "the package lacks the program folder's files"; exit 1; }
mkdir -p "$work/home" "$work/hives"
chown nobody "$work/home"
chmod 700 "$work/home"
snapshot() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
before=$(snapshot "$work/root")

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
start() {
  runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/home" DISPLAY="$display" \
    QT_QPA_PLATFORM=xcb MARLU_MACHINE_HIVES="$work/hives" ASAN_OPTIONS=detect_leaks=0 \
    "$work/root/usr/bin/marlu-viewer" >>"$work/out.log" 2>&1 & viewer=$!
  for _ in $(seq 100); do
    sleep 0.1
    win=$(DISPLAY=$display xdotool search --name " by " 2>/dev/null | head -1 || true)
    [ -n "$win" ] && break
  done
  [ -n "$win" ] || { echo "no main window"; cat "$work/out.log"; exit 1; }
  sleep 1
  if DISPLAY=$display xdotool search --name "Permission Denied" >/dev/null 2>&1; then
    echo "a message box came up"; exit 1
  fi
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$win")"
}
stop() { kill "$viewer"; wait "$viewer" 2>/dev/null || true; }

start
echo "first start: main window at $X,$Y, no box"
# The first channel of the list, then "Add to Favorites" (the design's places in the window).
DISPLAY=$display xdotool mousemove $((X + 70)) $((Y + 170)) click 1; sleep 0.3
DISPLAY=$display xdotool mousemove $((X + 290)) $((Y + 118)) click 1; sleep 0.5
own="$work/home/.local/share/Marlu Viewer/Favorites.txt"
[ -s "$own" ] || { echo "no favourite in the user's data folder"; ls -laR "$work/home"; exit 1; }
stop
start
stop
[ -s "$own" ] || { echo "the favourite did not survive the restart"; exit 1; }
echo "the favourite lives in the user's data folder and survived a restart"

[ "$before" = "$(snapshot "$work/root")" ] || { echo "the program folder changed"; exit 1; }
[ -z "$(ls -A "$work/hives")" ] || { echo "the machine hives were written"; ls -la "$work/hives"; exit 1; }
echo "the program folder and the machine hives are unchanged"

# One version everywhere: the program, the package, its AppStream release and its manual.
version=$("$work/root/usr/bin/marlu-viewer" --version | awk '{print $NF}')
package=$(dpkg-deb --field "$deb" Version)
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$work"/root/usr/share/metainfo/*.metainfo.xml)
manual=$(zcat -f "$work"/root/usr/share/man/man1/marlu-viewer.1* | sed -n '1s/.*"Marlu Viewer \([^"]*\)".*/\1/p')
echo "versions: program $version, package $package, metadata $release, manual $manual"
[ "$version" = "$package" ] && [ "$version" = "$release" ] && [ "$version" = "$manual" ] ||
  { echo "the versions differ"; exit 1; }
