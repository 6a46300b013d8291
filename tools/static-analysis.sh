#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over the firmware code in
# driver/, gpio/ and platform/. Fails naming every finding.
#
#   static-analysis.sh [HOST_BUILD_DIR] [IMAGE_BUILD_DIR]
#
# The host build's compilation database gives the flags of the sources it
# builds; the image backend, which only the image builds, is taken from the
# image build's database.
set -uo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
host_build="${1:-$repo/build/host}"
image_build="${2:-$repo/build/efi}"
cd "$repo"

tools/ensure-prerequisites.sh analysis ||
  { echo "static-analysis: prerequisites missing" >&2; exit 1; }

for build in "$host_build" "$image_build"; do
  [[ -f "$build/compile_commands.json" ]] ||
    { echo "static-analysis: no $build/compile_commands.json (run make host image)" >&2; exit 1; }
done

# Firmware sources of a compilation database, relative to the repository.
firmware_sources() {
  python3 - "$1" "$repo" <<'PY'
import json, os, sys
entries = json.load(open(os.path.join(sys.argv[1], "compile_commands.json")))
files = {os.path.relpath(os.path.join(e["directory"], e["file"]), sys.argv[2])
         for e in entries}
print("\n".join(sorted(f for f in files
                       if f.split("/")[0] in ("driver", "gpio", "platform"))))
PY
}

mapfile -t host_files < <(firmware_sources "$host_build")
mapfile -t image_files < <(comm -13 <(printf '%s\n' "${host_files[@]}") \
                                    <(firmware_sources "$image_build"))
if [[ ${#host_files[@]} -eq 0 || ${#image_files[@]} -eq 0 ]]; then
  echo "static-analysis: no firmware sources found in the compilation databases" >&2
  exit 1
fi

failed=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# clang-tidy exits non-zero on any finding (WarningsAsErrors), and on a
# configuration it cannot read.
tidy() {
  local build="$1"; shift
  clang-tidy -p "$build" --quiet "$@" >"$log" 2>&1
  local status=$?
  if [[ $status -ne 0 ]] || grep -qE '(warning|error):|^Error' "$log"; then
    grep -vE '^[0-9]+ (warnings?|errors?) (generated|treated)' "$log" >&2
    failed=1
  fi
}
tidy "$host_build" "${host_files[@]}"
tidy "$image_build" "${image_files[@]}"
[[ $failed -eq 0 ]] || echo "static-analysis: clang-tidy findings above" >&2

if ! cppcheck --std=c++20 --language=c++ \
    --enable=warning,style,performance,portability --inconclusive \
    --error-exitcode=1 --quiet -I . \
    --suppressions-list=tools/cppcheck-suppressions.txt \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' \
    driver gpio platform; then
  echo "static-analysis: cppcheck findings above" >&2
  failed=1
fi

if [[ $failed -eq 0 ]]; then
  echo "static-analysis: nothing found in ${#host_files[@]} host-built and" \
       "${#image_files[@]} image-only firmware sources"
fi
exit $failed
