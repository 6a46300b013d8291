#!/usr/bin/env bash
# Plays boardsim scenarios on the real image in OVMF under QEMU, the board
# laid into two shared-memory files that QEMU maps at the chipset windows,
# and compares every outcome with boardsim's report of the same scenario.
#
#   run-board-scenarios.sh [--keep-dir DIR] [SCENARIO.json ...]
#
# Without scenarios it plays every file in examples/. Logs stay under
# build/board-scenarios/<scenario>/; a failing scenario also keeps its two
# register files there.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/.." && pwd)"
ovmf=/usr/share/OVMF

case "${1:-}" in
  -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
esac

"$repo/tools/ensure-prerequisites.sh" \
  "qemu-system-x86_64 qemu-system-x86" \
  "$ovmf/OVMF_CODE_4M.fd ovmf" \
  "$ovmf/OVMF_VARS_4M.fd ovmf" \
  "python3 python3" ||
  { echo "run-board-scenarios: prerequisites missing" >&2; exit 1; }

cd "$repo"
{ cmake --preset efi >/dev/null && cmake --build --preset efi >/dev/null; } ||
  { echo "run-board-scenarios: the efi build failed" >&2; exit 1; }
for tool in boardsim boardlay; do
  [[ -x build/host/$tool ]] ||
    { echo "run-board-scenarios: build/host/$tool does not exist (make host)" >&2; exit 1; }
done
exec python3 "$here/board_scenarios.py" "$@"
