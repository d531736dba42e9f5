#!/usr/bin/env bash
# The Data.txt beside the executable is exactly the encoding of the committed source list,
# and every one of its lines decodes to a channel.
set -euo pipefail
encoder=$1; source=$2; shipped=$3
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
"$encoder" "$source" "$tmp/Data.txt"
cmp "$tmp/Data.txt" "$shipped"
channels=$(grep -c -v -E '^(#|$)' "$source")
lines=$(tr -cd '\r' < "$shipped" | wc -c)
echo "shipped catalogue: $lines lines, source: $channels channels"
[ "$lines" -eq "$channels" ]
