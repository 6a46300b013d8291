#!/usr/bin/env bash
# A platform built from source with BoardConfigPkg, as a platform team
# builds it: OVMF (OvmfPkgX64) from Debian's edk2 source of the installed
# OVMF's version (tools/ensure-edk2.sh), the package added by the README's
# steps word for word (its "platform-steps" block, build line included),
# and, before them, the firmware stage's companion added the same way as a
# binary module of its own test-only package.
#
# The workspace lives outside the clone (the tools cache), beside the EDK2
# tree it takes the other packages from (PACKAGES_PATH), so its build output
# is reused: a changed package rebuilds only what changed. What a build
# makes is kept by a key of the edk2 version, the package archive, the
# companion's module, the README's steps and this script; a key built before
# is not built again.
#
# Into OUT (default build/platform): OVMF_CODE.fd and OVMF_VARS.fd, the
# driver's firmware file as the platform's build made it
# (BoardConfigDxe.ffs), pcd-tokens.txt (the README's "pcd-tokens" commands
# run in the build), build.log and key.
#
# usage: build-platform.sh [--package ARCHIVE] [--out DIR]
#   --package  the package archive to add (default build/efi/BoardConfigPkg.tar.gz)
#   --out      where the firmware goes (default build/platform)
# Exits 1 when the build fails, with GenFds's or build's error lines.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
cache="${BOARDCFG_TOOLS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/boardconfigdxe}"
say() { echo "build-platform: $*" >&2; }
usage() { echo "usage: $0 [--package ARCHIVE] [--out DIR]" >&2; exit 2; }

package="$repo/build/efi/BoardConfigPkg.tar.gz"
out="$repo/build/platform"
while [[ $# -gt 0 ]]; do
  case $1 in
    --package) [[ $# -ge 2 ]] || usage; package=$2; shift 2 ;;
    --out) [[ $# -ge 2 ]] || usage; out=$2; shift 2 ;;
    *) usage ;;
  esac
done
companion="$repo/build/efi/BoardStagePkg"
for built in "$package" "$companion/BoardStageCompanion/BoardStageCompanion.efi"; do
  [[ -f $built ]] || { say "$built does not exist (make image)"; exit 1; }
done
package=$(realpath "$package")
mkdir -p "$out"
out=$(realpath "$out")

tree=$("$repo/tools/ensure-edk2.sh")
version=$(basename "$tree")
platform="$cache/platform/$version"
workspace="$platform/workspace"
steps=$("$here/readme-block.sh" platform-steps)
tokens=$("$here/readme-block.sh" pcd-tokens)

key=$( { echo "$version"; sha256sum "$package" | cut -d' ' -f1
         (cd "$companion" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
         echo "$steps"; echo "$tokens"; cat "$0"; } | sha256sum | cut -c1-16)
kept="$platform/firmware/$key"

mkdir -p "$platform"
exec 9>"$platform/lock"
flock 9

deliver() {
  rm -f "$out"/OVMF_CODE.fd "$out"/OVMF_VARS.fd "$out"/BoardConfigDxe.ffs
  cp "$kept"/OVMF_CODE.fd "$kept"/OVMF_VARS.fd "$kept"/BoardConfigDxe.ffs \
     "$kept"/pcd-tokens.txt "$kept"/build.log "$out"/
  echo "$key" >"$out/key"
}

if [[ -f $kept/complete ]]; then
  deliver
  echo "platform firmware: OvmfPkgX64 with BoardConfigPkg, built before (key $key)"
  exit 0
fi

# The platform's own tree: OvmfPkg stands for the platform's package; the
# other packages come from the EDK2 tree.
if [[ ! -d $workspace/OvmfPkg ]]; then
  mkdir -p "$workspace/Conf"  # edksetup.sh fills it from BaseTools' templates
  cp -a "$tree/OvmfPkg" "$workspace/OvmfPkg"
fi
rm -rf "$workspace/BoardConfigPkg" "$workspace/BoardStagePkg"
cp "$tree"/OvmfPkg/OvmfPkgX64.dsc "$tree"/OvmfPkg/OvmfPkgX64.fdf "$workspace/OvmfPkg/"

# The companion, a test-only binary module with a rule of its own.
cp -r "$companion" "$workspace/BoardStagePkg"
printf '[Components.X64]\n  BoardStagePkg/BoardStageCompanion/BoardStageCompanion.inf\n' \
  >>"$workspace/OvmfPkg/OvmfPkgX64.dsc"
sed -i '/^\[FV\.FVMAIN_COMPACT\]/i INF  RuleOverride = BOARD_STAGE_BINARY BoardStagePkg/BoardStageCompanion/BoardStageCompanion.inf' \
  "$workspace/OvmfPkg/OvmfPkgX64.fdf"
echo '!include BoardStagePkg/BoardStageRules.fdf.inc' >>"$workspace/OvmfPkg/OvmfPkgX64.fdf"

rm -rf "$kept"
mkdir -p "$kept"
log="$kept/build.log"
echo "platform firmware: building OvmfPkgX64 with BoardConfigPkg added by the README's steps" \
     "(log: ${log/#$HOME/\~})"
started=$SECONDS
status=0
# edksetup.sh is not written for set -u; the README's steps run under it.
(
  export WORKSPACE="$workspace" PACKAGES_PATH="$workspace:$tree" BOARD_CONFIG_PKG="$package"
  cd "$workspace"
  set +euo pipefail
  # shellcheck disable=SC1091
  . "$tree/edksetup.sh" >/dev/null
  set -euo pipefail
  eval "$steps"
) >"$log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
  say "the platform's build failed (status $status); its errors:"
  grep -E -A1 'error [0-9A-F]{4}:|: error|Error:' "$log" | grep -v '^--' | head -20 |
    sed 's/^/  /' >&2
  cp "$log" "$out/build.log"
  rm -rf "$kept"
  say "the whole log: $out/build.log"
  exit 1
fi

fv="$workspace/Build/OvmfX64/DEBUG_GCC5/FV"
cp "$fv/OVMF_CODE.fd" "$fv/OVMF_VARS.fd" "$kept/"
guid=$(sed -n 's/^[[:space:]]*FILE_GUID[[:space:]]*=[[:space:]]*\([0-9A-Fa-f-]*\).*/\1/p' \
         "$workspace/BoardConfigPkg/BoardConfigDxe/BoardConfigDxe.inf")
ffs="$fv/Ffs/${guid}BoardConfigDxe/$guid.ffs"
[[ -n $guid && -f $ffs ]] || { say "the build made no firmware file for BoardConfigDxe ($guid)"; exit 1; }
cp "$ffs" "$kept/BoardConfigDxe.ffs"
(export WORKSPACE="$workspace"; eval "$tokens") >"$kept/pcd-tokens.txt"
touch "$kept/complete"
echo "platform firmware: built in $((SECONDS - started)) s (key $key)"

# Only the newest few builds are kept.
ls -1t "$platform/firmware" | tail -n +4 | while read -r old; do
  rm -rf "${platform:?}/firmware/$old"
done
deliver
