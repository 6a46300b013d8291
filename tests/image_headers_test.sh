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
# What lets a DXE core with memory protection map the image: sections on
# page boundaries, code read-only and data non-executable; a preferred base
# of 0, as the firmware's own images have, so the loader places it at once.
expect "4 KiB section alignment" '^SectionAlignment[[:space:]]+00001000$'
expect "preferred base 0" '^ImageBase[[:space:]]+0+$'
expect "NX-compatible" 'NX_COMPAT'
# The same bytes from every build: a time stamp of 0, as the firmware's own
# images have, and no debug directory.
expect "time stamp 0" '^Time/Date[[:space:]]+(Thu Jan  1 00:00:00 1970|0+)$'
expect "no debug directory" '^Entry 6 0+ 0+ Debug Directory'
sections=$(objdump -h "$image")
writable_code=$(awk '/^ *[0-9]+ / { name = $2; next }
  /CODE/ && !/READONLY/ { print name }' <<<"$sections")
if [[ -z "$writable_code" ]]; then
  echo "ok: no section both writable and executable"
else
  echo "FAIL: writable and executable: $writable_code"; failures=$((failures + 1))
fi
echo "$failures failed"
[[ $failures -eq 0 ]]
