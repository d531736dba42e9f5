#!/usr/bin/env bash
# scripts/check-layers passes on the tree as it is, and fails, naming the file and the line, on
# an include planted against the layers: upward (base -> windows, widgets -> app) and sideways
# (catalogue -> services); and on a source file grown past 600 lines. Works on a copy in a
# temporary folder.
set -euo pipefail
source_dir=$1
check="$source_dir/scripts/check-layers"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for folder in base registry catalogue localisation services widgets player windows app; do
  cp -r "$source_dir/$folder" "$work/"
done

"$check" "$work" >"$work/clean.log" || { echo "FAIL: the tree as it is was refused"; cat "$work/clean.log"; exit 1; }
echo "ok: the tree passes ($(tail -1 "$work/clean.log"))"

plant() {  # plant FILE INCLUDE EXPECTED-MESSAGE
  cp "$work/$1" "$work/$1.orig"
  printf '#include "%s"\n' "$2" >>"$work/$1"
  if "$check" "$work" >"$work/planted.log"; then
    echo "FAIL: $1 including $2 passed"; exit 1
  fi
  grep -qF "$3" "$work/planted.log" || { echo "FAIL: no word of $1 -> $2"; cat "$work/planted.log"; exit 1; }
  mv "$work/$1.orig" "$work/$1"
  echo "ok: $1 -> $2 refused"
}
lines=$(wc -l <"$work/base/text.h")
plant base/text.h windows/main_window.h "base/text.h:$((lines + 1)): base may not include windows/main_window.h"
plant widgets/list_view.cpp app/startup.h "widgets may not include app/startup.h"
plant catalogue/codec.cpp services/settings.h "catalogue may not include services/settings.h"
cp "$work/player/stream_address.cpp" "$work/player/stream_address.cpp.orig"
while [ "$(wc -l <"$work/player/stream_address.cpp")" -le 600 ]; do echo "// grown" >>"$work/player/stream_address.cpp"; done
if "$check" "$work" >"$work/planted.log"; then echo "FAIL: a file of 601 lines passed"; exit 1; fi
grep -qF "player/stream_address.cpp: 601 lines, over 600" "$work/planted.log" ||
  { echo "FAIL: no word of the big file"; cat "$work/planted.log"; exit 1; }
mv "$work/player/stream_address.cpp.orig" "$work/player/stream_address.cpp"
echo "ok: a file over 600 lines refused"
"$check" "$work" >/dev/null || { echo "FAIL: the restored tree was refused"; exit 1; }
echo "ok: every planted include was refused"
