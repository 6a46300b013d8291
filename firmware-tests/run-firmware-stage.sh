#!/usr/bin/env bash
# Boots BoardConfigDxe.efi in Debian's OVMF under QEMU the way a board loads
# it, as a Driver#### option ahead of the companion driver, and checks what it
# did from the firmware side. Two variants run side by side: plain OVMF and
# OVMF with SMM. Each gets a set-up boot (bcfg writes the driver options into
# its own copy of the variable store) and a driver boot (the boot manager
# loads both drivers, signals ready-to-boot, then the shell runs the checker,
# smbiosview and dh). Logs stay under build/firmware/<variant>/.
#
#   run-firmware-stage.sh [--keep-dir DIR] [--expected-trace FILE]
#
# The model's access trace comes from --expected-trace, else from
# $BOARDCFG_EXPECTED_TRACE, else from build/host/boardsim run on
# firmware-tests/qemu-reads-zero.json.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/.." && pwd)"
out="$repo/build/firmware"
expected="${BOARDCFG_EXPECTED_TRACE:-}"

while [[ $# -gt 0 ]]; do
  case "$1" in
    --keep-dir) out="$(mkdir -p "$2" && cd "$2" && pwd)"; shift 2 ;;
    --expected-trace) expected="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "run-firmware-stage: unknown argument $1" >&2; exit 2 ;;
  esac
done

ovmf=/usr/share/OVMF
"$repo/tools/ensure-prerequisites.sh" \
  "qemu-system-x86_64 qemu-system-x86" \
  "$ovmf/OVMF_CODE_4M.fd ovmf" \
  "$ovmf/OVMF_CODE_4M.secboot.fd ovmf" \
  "$ovmf/OVMF_VARS_4M.fd ovmf" \
  "python3 python3" ||
  { echo "run-firmware-stage: prerequisites missing" >&2; exit 1; }

cd "$repo"
{ cmake --preset efi >/dev/null && cmake --build --preset efi >/dev/null; } ||
  { echo "run-firmware-stage: the efi build failed" >&2; exit 1; }
images=(BoardConfigDxe.efi BoardStageCompanion.efi BoardServiceCheck.efi)
for image in "${images[@]}"; do
  [[ -f build/efi/$image ]] || { echo "run-firmware-stage: build/efi/$image was not built" >&2; exit 1; }
done

# The model's side of the trace.
mkdir -p "$out"
trace_note=""
if [[ -z "$expected" ]]; then
  if [[ -x build/host/boardsim ]]; then
    expected="$out/model-trace.json"
    if ! build/host/boardsim "$here/qemu-reads-zero.json" --json >"$expected" 2>"$out/model-trace.err"; then
      trace_note="build/host/boardsim failed on firmware-tests/qemu-reads-zero.json (see $out/model-trace.err)"
      expected=""
    fi
  else
    trace_note="no model trace: build/host/boardsim does not exist (make host) and no --expected-trace FILE was given"
  fi
elif [[ ! -f "$expected" ]]; then
  trace_note="expected trace $expected does not exist"
  expected=""
fi

# Safety net against a firmware that never reaches `reset -s`; a normal boot
# takes about 9 seconds.
hang_limit=60

write_script() {  # file, lines...: a shell script with CR LF line ends
  local file="$1"; shift
  printf '%s\r\n' "$@" >"$file"
}

boot_variant() {  # name code-image machine extra-qemu-args...
  local name="$1" code="$2" machine="$3"; shift 3
  local dir="$out/$name"
  rm -rf "$dir" && mkdir -p "$dir/disk"
  cp build/efi/BoardConfigDxe.efi build/efi/BoardStageCompanion.efi \
     build/efi/BoardServiceCheck.efi "$dir/disk/"
  cp "$ovmf/OVMF_VARS_4M.fd" "$dir/vars.fd"
  local qemu=(qemu-system-x86_64 -machine "$machine" -m 256 -nodefaults
    -display none -no-reboot "$@"
    -drive "if=pflash,format=raw,unit=0,readonly=on,file=$ovmf/$code"
    -drive "if=pflash,format=raw,unit=1,file=$dir/vars.fd"
    -drive "format=raw,file=fat:rw:$dir/disk")

  write_script "$dir/disk/startup.nsh" \
    '@echo -off' \
    'bcfg driver add 0 fs0:\BoardConfigDxe.efi "BoardConfigDxe"' \
    'bcfg driver add 1 fs0:\BoardStageCompanion.efi "BoardStageCompanion"' \
    'bcfg driver dump' \
    'reset -s'
  timeout "$hang_limit" "${qemu[@]}" -serial "file:$dir/setup-console.log"
  echo $? >"$dir/setup.rc"

  write_script "$dir/disk/startup.nsh" \
    '@echo -off' \
    'echo BOARDSTAGE-SECTION checker' \
    'fs0:\BoardServiceCheck.efi' \
    'echo BOARDSTAGE-SECTION smbiosview' \
    'smbiosview -t 9' \
    'echo BOARDSTAGE-SECTION dh' \
    'dh' \
    'echo BOARDSTAGE-SECTION end' \
    'reset -s'
  timeout "$hang_limit" "${qemu[@]}" -serial "file:$dir/console.log" \
    -d guest_errors -D "$dir/guest-errors.log"
  echo $? >"$dir/boot.rc"
}

start=$SECONDS
boot_variant plain OVMF_CODE_4M.fd q35 &
plain_pid=$!
boot_variant smm OVMF_CODE_4M.secboot.fd q35,smm=on \
  -global driver=cfi.pflash01,property=secure,value=on \
  -global ICH9-LPC.disable_s3=1 &
smm_pid=$!
wait "$plain_pid" "$smm_pid"
echo "Booted BoardConfigDxe.efi in OVMF: plain and SMM variants, two boots each, $((SECONDS - start)) s"
[[ -n "$expected" ]] && echo "Model trace: $expected"
[[ -n "$trace_note" ]] && echo "run-firmware-stage: $trace_note"
echo

report=(python3 "$here/stage_report.py" --variant "plain:$out/plain" --variant "smm:$out/smm:smm")
[[ -n "$expected" ]] && report+=(--expected-trace "$expected")
"${report[@]}"
