#!/usr/bin/env bash
# Runs the host suites of the coverage build afresh and reports the line and
# branch coverage of the firmware code (driver/, gpio/, platform/). Fails
# below 95 % of lines or 90 % of branches. The image-only register backend and
# runtime are never built on the host and are left out.
#
# A header's inline functions count wherever the linker kept their one copy,
# so every object's data is read, except the chipset model's: it is built at
# -O2, where gcov's line and branch records of inlined code are unreliable.
#
#   coverage-report.sh [COVERAGE_BUILD_DIR]
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build/coverage}"
cd "$repo"

[[ -d "$build/CMakeFiles/boardcfg_firmware.dir" ]] ||
  { echo "coverage-report: no firmware objects in $build (run make coverage)" >&2; exit 1; }

find "$build" -name '*.gcda' -delete
if ! ctest --test-dir "$build" -j"$(nproc)" \
    -E '^(image_headers|firmware_.+)$' >"$build/ctest.log" 2>&1; then
  cat "$build/ctest.log" >&2
  echo "coverage-report: the suites failed in $build" >&2
  exit 1
fi
tail -n 3 "$build/ctest.log" | head -n 1

mkdir -p "$build/report"
status=0
gcovr --root "$repo" \
  --filter 'driver/' --filter 'gpio/' --filter 'platform/' \
  --exclude 'platform/mmio_register_access\.cpp' \
  --exclude 'platform/image_runtime\.cpp' \
  --json-summary "$build/report/summary.json" \
  --html-details "$build/report/index.html" \
  --fail-under-line 95 --fail-under-branch 90 \
  --exclude-directories '.*/boardcfg_chipset_model\.dir/chipset$' \
  --exclude-directories '.*/CMakeFiles/[0-9.]+$' \
  "$build" || status=$?

python3 - "$build/report/summary.json" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
def cell(covered, total):
    return f"{covered:4}/{total:<4} {100.0 * covered / total:5.1f} %" if total else f"{'-':>9}       "
print(f"{'File':36} {'Lines':>16}   {'Branches':>16}")
for f in summary["files"]:
    print(f"{f['filename']:36} {cell(f['line_covered'], f['line_total'])}   "
          f"{cell(f['branch_covered'], f['branch_total'])}")
print(f"{'Firmware code':36} {cell(summary['line_covered'], summary['line_total'])}   "
      f"{cell(summary['branch_covered'], summary['branch_total'])}")
PY
echo "Line by line: $build/report/index.html"
if [[ $status -ne 0 ]]; then
  echo "coverage-report: below 95 % of lines or 90 % of branches" >&2
fi
exit $status
