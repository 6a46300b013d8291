#!/usr/bin/env bash
# Makes sure the packages the build and tests need are installed. As root on
# Debian it installs what is missing with apt-get; otherwise it names them.
set -euo pipefail

# command-or-file  package; callers may add more as arguments
requirements=(
  "cmake cmake"
  "g++ g++"
  "make make"
  "clang clang"
  "clang++ clang"
  "lld-link lld"
  "objdump binutils"
  "/usr/include/gtest/gtest.h libgtest-dev"
  "/usr/include/gmock/gmock.h libgmock-dev"
  "/usr/include/nlohmann/json.hpp nlohmann-json3-dev"
  "/usr/include/CLI/CLI.hpp libcli11-dev"
)
requirements+=("$@")

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
  echo "Installing missing packages: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >&2
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  exit 0
fi

echo "Missing packages: ${missing[*]}" >&2
echo "Install them with: sudo apt-get install ${missing[*]}" >&2
exit 1
