# Sourced by the end-to-end scripts that run the real executable on a private X server.
# Makes a temporary program folder ($dir) holding the executable and the catalogue, starts
# Xvfb on a free display ($display, process $xvfb), and removes both, with the viewer
# (process $viewer, started by the caller), when the script ends.
#   xvfb_program EXECUTABLE DATA_TXT
xvfb_program() {
  command -v Xvfb >/dev/null || { echo "Xvfb missing"; exit 1; }
  dir=$(mktemp -d)
  trap 'kill ${viewer:-0} ${xvfb:-0} 2>/dev/null || true; rm -rf "$dir"' EXIT
  cp "$1" "$dir/"; cp "$2" "$dir/Data.txt"
  display=:$((500 + RANDOM % 400))
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  mkdir -m 700 "$dir/run"
}
