#!/usr/bin/env bash
# Makes sure an EDK2 tree is prepared from Debian's edk2 source package, of
# the version of the firmware the tests run (the installed ovmf package,
# else the newest in the archive), and prints its folder. The tree holds
# what the image build and the platform build need and nothing more:
# BaseTools, built (GenSec, GenFfs, GenFv, VfrCompile, ... and the Python
# tools), edksetup.sh, and the packages OvmfPkgX64 is built from, with
# Debian's patches to them applied as Debian's own build applies them.
#
# It lives in a cache outside the clone keyed by that version, so a second
# clone reuses it. apt runs with a configuration of its own (a deb-src entry
# for the machine's Debian archive, lists and cache under the tools cache);
# /etc/apt is only read.
#
#   ensure-edk2.sh              prepares the tree when needed, prints its folder
#   ensure-edk2.sh --locate     prints the folder of a prepared tree, or fails
#                               naming the make step that prepares it
#   BOARDCFG_TOOLS_CACHE=DIR    where the cache lives
#                               (default ${XDG_CACHE_HOME:-~/.cache}/boardconfigdxe)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cache="${BOARDCFG_TOOLS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/boardconfigdxe}"
say() { echo "ensure-edk2: $*" >&2; }

# The packages an X64 build of OvmfPkgX64 reads, beside BaseTools.
PACKAGES=(MdePkg MdeModulePkg UefiCpuPkg PcAtChipsetPkg OvmfPkg CryptoPkg
          SecurityPkg NetworkPkg ShellPkg FatPkg EmbeddedPkg SourceLevelDebugPkg)

locate_only=false
case ${1-} in
  "") ;;
  --locate) locate_only=true ;;
  *) echo "usage: $0 [--locate]" >&2; exit 2 ;;
esac

# The version to prepare: the firmware's own, when it is installed.
version=$(dpkg-query -W -f '${Version}' ovmf 2>/dev/null || true)
# A tree is prepared for a version and a list of packages.
recipe() { echo "$1 ${PACKAGES[*]}"; }
prepared() { [[ -f $cache/edk2/$1/.prepared && $(<"$cache/edk2/$1/.prepared") == "$(recipe "$1")" ]]; }

if $locate_only; then
  if [[ -n $version ]] && prepared "$version"; then
    echo "$cache/edk2/$version"
    exit 0
  fi
  say "no EDK2 tree prepared for ovmf ${version:-(not installed)} in $cache/edk2;" \
      "'make image' prepares it (tools/ensure-edk2.sh)"
  exit 1
fi

if [[ -n $version ]] && prepared "$version"; then
  echo "$cache/edk2/$version"
  exit 0
fi

"$here/ensure-prerequisites.sh" image >&2 ||
  { say "prerequisites missing"; exit 1; }
version=$(dpkg-query -W -f '${Version}' ovmf 2>/dev/null || true)

apt_dir="$cache/apt"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
             -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists"
             -o "Dir::Cache=$apt_dir/cache"
             -o "APT::Sandbox::User=root")

# A deb-src entry for the Debian archive the machine's apt knows.
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" \
  "$apt_dir/cache/archives/partial"
: >"$apt_dir/sources.list"
# deb822 .sources files, or the one-line sources.list that a system made
# by debootstrap or an older installer has; either may be missing.
archive=$(sed -n 's/^URIs:[[:space:]]*\(http[^ ]*debian\)[[:space:]]*$/\1/p' \
            /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 || true)
if [[ -z $archive ]]; then
  archive=$(sed -n 's/^deb[[:space:]]\+\(http[^ ]*debian\)[[:space:]].*/\1/p' \
              /etc/apt/sources.list 2>/dev/null | head -1 || true)
fi
[[ -n $archive ]] || { say "no Debian archive in the machine's apt sources"; exit 1; }
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
cat >"$apt_dir/sources.list.d/debian-src.sources" <<EOF
Types: deb-src
URIs: $archive
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt-get "${apt_options[@]}" -qq update >&2 ||
  { say "cannot read the source index of $archive"; exit 1; }
if [[ -z $version ]]; then
  version=$(apt-cache "${apt_options[@]}" showsrc edk2 |
              sed -n 's/^Version:[[:space:]]*//p' | sort -V | tail -1)
  [[ -n $version ]] || { say "no edk2 source package in $archive"; exit 1; }
fi

tree="$cache/edk2/$version"
mkdir -p "$cache/edk2"
exec 9>"$cache/edk2/$version.lock"
flock 9
if prepared "$version"; then
  echo "$tree"
  exit 0
fi

work=$(mktemp -d "$cache/edk2/prepare.XXXXXX")
trap 'rm -rf "$work"' EXIT
say "preparing EDK2 from Debian's edk2 $version: BaseTools and the packages of OvmfPkgX64"
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only \
   "edk2=$version" >&2) ||
  { say "cannot download the edk2 $version source package"; exit 1; }
upstream=${version%%-*}
upstream=${upstream#*:}
mkdir "$work/tree"
members=(BaseTools edksetup.sh "${PACKAGES[@]}")
tar -xJf "$work/edk2_${upstream}.orig.tar.xz" -C "$work/tree" --strip-components=1 \
  --wildcards "${members[@]/#/*/}"
tar -xJf "$work"/edk2_*.debian.tar.xz -C "$work"

# Debian's patches, in its order; each touches one top folder, and those
# of packages left out (other architectures, other platforms) are left out.
while read -r patch; do
  [[ -z $patch || $patch == \#* ]] && continue
  touched=$(sed -n 's#^+++ [^/]*/\([^/]*\)/.*#\1#p' "$work/debian/patches/$patch" | sort -u)
  [[ $touched == *$'\n'* ]] &&
    { say "Debian's patch $patch touches several folders: $(echo $touched)"; exit 1; }
  [[ -d $work/tree/$touched ]] || continue
  patch -d "$work/tree" -p1 -s --no-backup-if-mismatch <"$work/debian/patches/$patch" ||
    { say "Debian's patch $patch does not apply"; exit 1; }
done <"$work/debian/patches/series"

make -s -j"$(nproc)" -C "$work/tree/BaseTools/Source/C" >"$work/basetools.log" 2>&1 ||
  { tail -40 "$work/basetools.log" >&2; say "building EDK2's BaseTools failed"; exit 1; }

recipe "$version" >"$work/tree/.prepared"
rm -rf "$tree"
mv "$work/tree" "$tree"
echo "$tree"
