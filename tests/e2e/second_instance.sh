#!/usr/bin/env bash
# The real executable in a temporary program folder: a second start while the first runs
# ends at once, with exit status 0 and no window.
set -euo pipefail
exe=$1; data=$2
dir=$(mktemp -d); trap 'kill "${first:-0}" 2>/dev/null || true; rm -rf "$dir"' EXIT
cp "$exe" "$dir/"; cp "$data" "$dir/Data.txt"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" MARLU_MACHINE_HIVES="$dir/hives" XDG_RUNTIME_DIR="$dir/run"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
name=$(basename "$exe")
"$dir/$name" & first=$!
# Wait until the first instance holds its lock.
for _ in $(seq 100); do ls "$XDG_RUNTIME_DIR"/viewer-*.lock >/dev/null 2>&1 && break; sleep 0.1; done
ls "$XDG_RUNTIME_DIR"/viewer-*.lock >/dev/null
start=$(date +%s%N)
timeout 10 "$dir/$name"; status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
kill -0 "$first"  # the first instance still runs
echo "second instance exited with $status after ${elapsed_ms} ms"
[ "$status" -eq 0 ]
