#!/usr/bin/env bash
# Makes sure the packages a part of the work needs are installed. As root on
# Debian it installs what is missing with apt-get, its output kept in
# build/logs/packages.log and one line on the terminal; otherwise it names
# the packages and how to install them, and fails.
#
# usage: tools/ensure-prerequisites.sh GROUP...
#   host      the host build, its tests and boardsim
#   image     the EFI image, its firmware file, its EDK2 package and the
#             stage's firmware images (and the EDK2 tree they are made with)
#   platform  OvmfPkgX64 built from source with the package (EDK2's build)
#   firmware  the firmware stage (OVMF under QEMU) and its readers
#   asan      the sanitized host build
#   fuzz      the boot fuzzers
#   analysis  clang-tidy and cppcheck
#   coverage  the coverage report
#   all       every group but coverage (what make test needs)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
log="$(dirname "$here")/build/logs/packages.log"
ovmf=/usr/share/OVMF

# Every CMake build: Ninja, and ccache shared by the machine's clones.
BUILD=("cmake cmake" "ninja ninja-build" "ccache ccache" "make make")

# clang's FuzzedDataProvider.h: the fuzzers' input decoder, which the host
# build's seed corpus and tests use too.
fuzzed_data_provider=/usr/lib/llvm-14/lib/clang/14.0.6/include/fuzzer/FuzzedDataProvider.h

# command-or-file package, by group
group() {
  case $1 in
    # The firmware stage's own tests and screen, and the scenario schema's
    # test, run on Debian's Python. objdump lists the firmware library's
    # writable globals for a test.
    host) printf '%s\n' "${BUILD[@]}" "g++ g++" "objdump binutils" "python3 python3" \
      "/usr/bin/python3 python3" \
      "/usr/lib/python3/dist-packages/pyte/__init__.py python3-pyte" \
      "/usr/lib/python3/dist-packages/jsonschema/__init__.py python3-jsonschema" \
      "/usr/lib/python3/dist-packages/json5/__init__.py python3-json5" \
      "/usr/include/gtest/gtest.h libgtest-dev" "/usr/include/gmock/gmock.h libgmock-dev" \
      "/usr/include/nlohmann/json.hpp nlohmann-json3-dev" "/usr/include/CLI/CLI.hpp libcli11-dev" \
      "clang clang" "$fuzzed_data_provider libclang-rt-14-dev" ;;
    # EDK2's tree comes from Debian's source package, patched as Debian
    # does; its BaseTools are built with gcc and g++.
    image) printf '%s\n' "${BUILD[@]}" "clang clang" "clang++ clang" "lld-link lld" \
      "objdump binutils" "apt-get apt" "tar tar" "xz xz-utils" "gzip gzip" "patch patch" \
      "gcc gcc" "g++ g++" "python3 python3" "/usr/include/uuid/uuid.h uuid-dev" \
      "$ovmf/OVMF_CODE_4M.fd ovmf" "$ovmf/OVMF_CODE_4M.secboot.fd ovmf" ;;
    firmware) printf '%s\n' "qemu-system-x86_64 qemu-system-x86" "$ovmf/OVMF_CODE_4M.fd ovmf" \
      "$ovmf/OVMF_CODE_4M.secboot.fd ovmf" "$ovmf/OVMF_VARS_4M.fd ovmf" "/usr/bin/python3 python3" \
      "/usr/lib/python3/dist-packages/pyte/__init__.py python3-pyte" \
      "/usr/lib/python3/dist-packages/jsonschema/__init__.py python3-jsonschema" \
      "UEFIExtract uefitool-cli" "pnmtopng netpbm" ;;
    platform) printf '%s\n' "gcc gcc" "g++ g++" "make make" "python3 python3" "nasm nasm" \
      "iasl acpica-tools" ;;
    asan) printf '%s\n' "${BUILD[@]}" "clang clang" "clang++ clang" ;;
    fuzz) printf '%s\n' "${BUILD[@]}" "clang clang" "clang++ clang" \
      "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev" ;;
    analysis) printf '%s\n' "clang-tidy clang-tidy" "cppcheck cppcheck" ;;
    coverage) printf '%s\n' "${BUILD[@]}" "gcovr gcovr" ;;
    all) for each in host image platform firmware asan fuzz analysis; do group "$each"; done ;;
    *) return 1 ;;
  esac
}

if [[ $# -eq 0 ]]; then
  echo "usage: $0 GROUP... (host, image, platform, firmware, asan, fuzz, analysis, coverage, all)" >&2
  exit 2
fi
requirements=()
for name in "$@"; do
  if ! entries=$(group "$name"); then
    echo "ensure-prerequisites: unknown group '$name'" \
      "(host, image, platform, firmware, asan, fuzz, analysis, coverage, all)" >&2
    exit 2
  fi
  mapfile -t -O "${#requirements[@]}" requirements <<<"$entries"
done

missing=()
for entry in "${requirements[@]}"; do
  read -r probe package <<<"$entry"
  if [[ "$probe" == /* ]]; then
    [[ -e "$probe" ]] && continue
  else
    command -v "$probe" >/dev/null 2>&1 && continue
  fi
  [[ " ${missing[*]-} " == *" $package "* ]] || missing+=("$package")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
  mkdir -p "$(dirname "$log")"
  echo "Installing ${#missing[@]} packages for $*; apt-get's output: ${log#"$PWD/"}" >&2
  {
    echo "== $(date -u '+%F %T') installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"
  } >>"$log" 2>&1 || {
    echo "ensure-prerequisites: apt-get could not install ${missing[*]}; see $log" >&2
    exit 1
  }
  exit 0
fi

command="apt-get install -y --no-install-recommends ${missing[*]}"
{
  echo "Missing packages for $*:"
  echo "${missing[*]}" | fold -s -w 78 | sed 's/^/  /'
  if command -v sudo >/dev/null 2>&1; then
    echo "Install them with sudo:"
    echo "  sudo $command" | fold -s -w 98
  else
    echo "Install them as root:"
    echo "  $command" | fold -s -w 98
  fi
} >&2
exit 1
