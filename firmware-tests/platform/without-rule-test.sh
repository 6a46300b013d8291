#!/usr/bin/env bash
# The platform's build refuses BoardConfigPkg without the rule it brings: a
# copy of the package archive whose BoardConfigRules.fdf.inc lost its rule
# section, added by the README's steps as the real one is, must make EDK2's
# build fail, and with GenFds's message about the missing rule.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
archive="$repo/build/efi/BoardConfigPkg.tar.gz"
wanted="error F003: Don't Find common rule RULE.COMMON.DXE_DRIVER.BOARD_CONFIG_BINARY for INF BoardConfigPkg/BoardConfigDxe/BoardConfigDxe.inf"

[[ -f $archive ]] || { echo "FAIL: no $archive (make image)"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tar -xzf "$archive" -C "$scratch"
rules="$scratch/BoardConfigPkg/BoardConfigRules.fdf.inc"
sed -i '/^\[Rule\./,$d' "$rules"
if grep -q '^\[Rule\.' "$rules" || ! grep -q '^## @file' "$rules"; then
  echo "FAIL: the broken copy's $rules is not the rule file without its rule"; exit 1
fi
tar -czf "$scratch/BoardConfigPkg.tar.gz" -C "$scratch" BoardConfigPkg

output=$("$here/build-platform.sh" --package "$scratch/BoardConfigPkg.tar.gz" \
           --out "$scratch/out" 2>&1)
status=$?
if [[ $status -ne 0 ]] && grep -qF "$wanted" <<<"$output"; then
  echo "ok: without its rule the package fails the platform's build (status $status), GenFds says:"
  echo "  $wanted"
  exit 0
fi
echo "FAIL: the platform's build with the package's rule removed ended with status $status," \
     "without GenFds's message: $wanted"
echo "$output" | tail -20
exit 1
