#!/usr/bin/env bash
# make test after its builds: each stage announced, its output tidied to 100
# columns (tools/tidy-output.py), then a summary of every stage with its
# result and time. Every stage runs even when one before failed; the exit
# status is 1 when any failed.
#
# usage: tools/run-tests.sh FUZZ_SECONDS
set -uo pipefail

cd "$(dirname "$0")/.."
fuzz_seconds=${1:-60}
jobs=$(nproc)
tidy=(python3 tools/tidy-output.py)

names=()
results=()
times=()
stage() {
  local name=$1
  shift
  echo "== [$((${#names[@]} + 1))/7] $name"
  local started=$SECONDS
  "$@" 2>&1 | "${tidy[@]}"
  local status=${PIPESTATUS[0]}
  names+=("$name")
  times+=($((SECONDS - started)))
  if [[ $status -eq 0 ]]; then results+=(passed); else results+=(FAILED); fi
}

stage "host suites (CTest, host build)" \
  ctest --preset host -j"$jobs" -LE firmware-stage --output-on-failure
stage "firmware stage: loaded by the boot manager" \
  ctest --preset host -R '^firmware_stage_driver_option$' -V --output-on-failure
stage "firmware stage: dispatched from the firmware volume, Setup screen" \
  ctest --preset host -R '^firmware_stage_firmware_volume$' -V --output-on-failure
stage "firmware stage: OVMF built from source with the package" \
  ctest --preset host -R '^firmware_stage_platform_build$' -V --output-on-failure
stage "host suites under ASan and UBSan" \
  ctest --preset asan -j"$jobs" --output-on-failure
stage "static analysis (clang-tidy, cppcheck)" tools/static-analysis.sh
stage "boot fuzzers, ${fuzz_seconds} s in all, side by side" fuzz/run-fuzzers.sh "$fuzz_seconds" board hostile

echo "== make test summary"
failed=0
total=0
for i in "${!names[@]}"; do
  printf '  %-68s %-6s %5d s\n' "${names[$i]}" "${results[$i]}" "${times[$i]}"
  [[ ${results[$i]} == passed ]] || failed=1
  total=$((total + times[i]))
done
printf '  %-68s %-6s %5d s\n' "tests after the builds" "$([[ $failed -eq 0 ]] && echo passed || echo FAILED)" "$total"
exit $failed
