#!/usr/bin/env bash
# Prints the image's file size and the size of each section.
set -euo pipefail
image=${1:-build/efi/BoardConfigDxe.efi}
limit=4096
[[ -f "$image" ]] || { echo "size-report: no image at $image (run make image)" >&2; exit 1; }
size=$(stat -c %s "$image")
echo "BoardConfigDxe.efi: $size bytes (goal: at most $limit)"
objdump -h "$image" | while read -r index name hexsize _; do
  [[ "$index" =~ ^[0-9]+$ ]] || continue
  printf '  %-8s %6d bytes\n' "$name" "$((16#$hexsize))"
done
