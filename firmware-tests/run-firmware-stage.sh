#!/usr/bin/env bash
# The firmware stage: BoardConfigDxe.efi booted in Debian's OVMF under QEMU
# on each scenario's board, what it did read back from the firmware side and
# compared with `boardsim SCENARIO --json`. See firmware-tests/README.md.
#
#   run-firmware-stage.sh [SCENARIO.json ...] [--keep-dir DIR]
#                         [--expectation SCENARIO=FILE ...]
#                         [--setup-screen SCENARIO ...]
#
# Without scenarios it plays examples/*.json and firmware-tests/scenarios/*.json.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/.." && pwd)"

"$repo/tools/ensure-prerequisites.sh" image firmware ||
  { echo "run-firmware-stage: prerequisites missing" >&2; exit 1; }

# Scenario paths stay relative to the caller's directory.
(cd "$repo" && cmake --preset efi >/dev/null && cmake --build --preset efi -j"$(nproc)" >/dev/null) ||
  { echo "run-firmware-stage: the efi build failed" >&2; exit 1; }
for tool in boardsim boardlay; do
  [[ -x $repo/build/host/$tool ]] ||
    { echo "run-firmware-stage: build/host/$tool does not exist (make host)" >&2; exit 1; }
done
export PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}"
# Debian's Python, which has Debian's python3-pyte (screen.py).
exec /usr/bin/python3 -m stage "$@"
