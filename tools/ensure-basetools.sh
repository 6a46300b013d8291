#!/usr/bin/env bash
# Makes sure EDK2's BaseTools that the image build uses (GenSec, GenFfs,
# LzmaCompress, and the Python tools) are built, and prints their folder.
#
# They are built from Debian's edk2 source package, of the version of the
# firmware the tests run (the installed ovmf package, else the newest in
# the archive), into a cache outside the clone keyed by that version, so a
# second clone reuses them. Only BaseTools/Source/C and BaseTools/Source/
# Python are extracted from the source. apt runs with a configuration of
# its own (a deb-src entry for the machine's Debian archive, lists and
# cache under the tools cache); /etc/apt is only read.
#
#   ensure-basetools.sh            prints the folder (bin/, Python/)
#   BOARDCFG_TOOLS_CACHE=DIR       where the cache lives
#                                  (default ${XDG_CACHE_HOME:-~/.cache}/boardconfigdxe)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cache="${BOARDCFG_TOOLS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/boardconfigdxe}"
say() { echo "ensure-basetools: $*" >&2; }

"$here/ensure-prerequisites.sh" image >&2 ||
  { say "prerequisites missing"; exit 1; }

apt_dir="$cache/apt"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
             -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists"
             -o "Dir::Cache=$apt_dir/cache"
             -o "APT::Sandbox::User=root")

# The version to build: the firmware's own, when it is installed.
version=$(dpkg-query -W -f '${Version}' ovmf 2>/dev/null || true)
tools="$cache/edk2-basetools/${version:-unknown}"
if [[ -n $version && -x $tools/bin/GenFfs && -f $tools/complete ]]; then
  echo "$tools"
  exit 0
fi

# A deb-src entry for each Debian archive the machine's apt knows.
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
  tools="$cache/edk2-basetools/$version"
  if [[ -x $tools/bin/GenFfs && -f $tools/complete ]]; then
    echo "$tools"
    exit 0
  fi
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
say "building EDK2 BaseTools from Debian's edk2 $version"
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only \
   "edk2=$version" >&2) ||
  { say "cannot download the edk2 $version source package"; exit 1; }
upstream=${version%%-*}
upstream=${upstream#*:}
tar -xJf "$work/edk2_${upstream}.orig.tar.xz" -C "$work" --wildcards \
  '*/BaseTools/Source/C/*' '*/BaseTools/Source/Python/*'
source_c=$(echo "$work"/*/BaseTools/Source/C)
for tool in Common GenSec GenFfs LzmaCompress; do
  make -s -j"$(nproc)" -C "$source_c/$tool" >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; say "building $tool failed"; exit 1; }
done

rm -rf "$tools"
mkdir -p "$tools/bin"
cp "$source_c"/bin/GenSec "$source_c"/bin/GenFfs "$source_c"/bin/LzmaCompress \
  "$tools/bin/"
cp -r "$work"/*/BaseTools/Source/Python "$tools/Python"
touch "$tools/complete"
echo "$tools"
