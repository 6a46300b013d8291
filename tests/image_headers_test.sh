#!/usr/bin/env bash
# Reads the image's headers with objdump and checks what the firmware's
# loader relies on.
set -uo pipefail
image=$1
[[ -f "$image" ]] || { echo "no image at $image: build it with 'make image'"; exit 1; }
headers=$(objdump -p "$image") || { echo "objdump cannot read $image"; exit 1; }
format=$(objdump -f "$image")
failures=0
expect() {  # description, extended regex over the headers
  if grep -Eq "$2" <<<"$headers$format"; then
    echo "ok: $1"
  else
    echo "FAIL: $1"; failures=$((failures + 1))
  fi
}
refuse() {
  if grep -Eq "$2" <<<"$headers$format"; then
    echo "FAIL: $1"; failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}
expect "PE32+ optional header" '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)'
expect "machine x86-64" 'file format pei-x86-64'
expect "subsystem EFI boot service driver (11)" '^Subsystem[[:space:]]+0000000b'
refuse "entry point set" '^AddressOfEntryPoint[[:space:]]+0+$'
expect "no import table" '^Entry 1 0+ 0+ Import Directory'
refuse "base-relocation directory present" '^Entry 5 0+ 0+ Base Relocation'
refuse "no static constructors" '\.CRT'
echo "$failures failed"
[[ $failures -eq 0 ]]
