#!/usr/bin/env bash
# What ships is the same bytes from any checkout at any time: the sources
# (what git tracks, and new files it does not ignore) copied into two folders
# of different names and depths, each built on its own a few seconds apart,
# give the image, its firmware file and the package archive byte for byte as
# each other and as build/efi.
set -uo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
artifacts=(BoardConfigDxe.efi BoardConfigDxe.ffs BoardConfigPkg.tar.gz)
targets=(BoardConfigDxe BoardConfigDxeFile BoardConfigPkg)

for artifact in "${artifacts[@]}"; do
  [[ -f $repo/build/efi/$artifact ]] || { echo "FAIL: no build/efi/$artifact (make image)"; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

build_copy() {  # folder
  local copy=$1
  mkdir -p "$copy"
  # The working tree as it stands: files deleted but still in the index left out.
  (cd "$repo" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
     xargs -0 cp --parents --no-dereference -t "$copy") ||
    { echo "FAIL: cannot copy the sources into $copy"; return 1; }
  (cd "$copy" && cmake --preset efi >"$copy.log" 2>&1 &&
     cmake --build --preset efi -j"$(nproc)" --target "${targets[@]}" >>"$copy.log" 2>&1) ||
    { echo "FAIL: the build in $copy failed:"; tail -20 "$copy.log"; return 1; }
}

first="$scratch/a"
second="$scratch/another/checkout/of/BoardConfigDxe"
build_copy "$first" || exit 1
started=$(date +%s)
while [[ $(date +%s) -le $((started + 1)) ]]; do sleep 0.2; done
build_copy "$second" || exit 1

failures=0
for artifact in "${artifacts[@]}"; do
  sums=$(sha256sum "$repo/build/efi/$artifact" "$first/build/efi/$artifact" \
           "$second/build/efi/$artifact" | cut -d' ' -f1 | sort -u)
  if [[ $(wc -l <<<"$sums") -eq 1 ]]; then
    echo "ok: $artifact the same bytes from three builds ($(cut -c1-16 <<<"$sums"))"
  else
    echo "FAIL: $artifact differs between build/efi, $first and $second"
    cmp -l "$first/build/efi/$artifact" "$second/build/efi/$artifact" | head -5
    failures=$((failures + 1))
  fi
done
echo "$failures failed"
[[ $failures -eq 0 ]]
