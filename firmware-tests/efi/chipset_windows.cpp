#include "firmware-tests/efi/chipset_windows.h"

#include "firmware-tests/efi/stage_log.h"
#include "platform/register_access.h"
#include "sim/facts/board.h"

namespace {

// QEMU's q35 configuration window as OVMF programs it, and the shared-memory
// devices (ivshmem-plain) whose 64-bit BAR2 backs the chipset windows, in
// the order of their device numbers on bus 0.
constexpr UINTN kConfigWindow = 0xB0000000;
constexpr UINT32 kIvshmemIds = 0x11101AF4;
constexpr UINT64 kChipsetWindows[2] = {facts::kPciWindowBase,
                                       facts::kPrivateWindowBase};

constexpr UINT16 kMemorySpaceEnable = 0x0002;
constexpr UINTN kBar2LowOffset = 0x18;
constexpr UINTN kBar2HighOffset = 0x1C;

UINTN ConfigAddress(UINTN device, UINTN offset) {
  return kConfigWindow + (device << 15) + offset;
}

UINT64 Bar2(UINTN device) {
  return (UINT64{RegisterRead32(ConfigAddress(device, kBar2HighOffset))}
          << 32) |
         RegisterRead32(ConfigAddress(device, kBar2LowOffset));
}

VOID RecordBar2(const CHAR8 *prefix, UINTN device) {
  TextLine line;
  LineStart(line, prefix);
  LineHex(line, device);
  LineText(line, " bar2=");
  LineHex(line, Bar2(device));
  Record(line);
}

UINTN MovedDevices[2];
UINTN MovedCount;

}  // namespace

VOID MoveChipsetWindows() {
  UINTN moved = 0;
  for (UINTN device = 0; device < 32 && moved < 2; ++device) {
    if (RegisterRead32(ConfigAddress(device, facts::kPciIdsOffset)) !=
        kIvshmemIds) {
      continue;
    }
    // Where PCI enumeration put it (0 before enumeration).
    RecordBar2("shared-memory device=", device);
    const UINTN command = ConfigAddress(device, facts::kPciCommandOffset);
    const UINT16 enabled = RegisterRead16(command);
    RegisterWrite16(command, enabled & ~kMemorySpaceEnable);
    RegisterWrite32(ConfigAddress(device, kBar2LowOffset),
                    static_cast<UINT32>(kChipsetWindows[moved]));
    RegisterWrite32(ConfigAddress(device, kBar2HighOffset), 0);
    RegisterWrite16(command, enabled | kMemorySpaceEnable);
    RecordBar2("chipset-window device=", device);
    MovedDevices[moved++] = device;
  }
  MovedCount = moved;
  TextLine line;
  LineStart(line, "chipset-windows moved=");
  LineDecimal(line, moved);
  Record(line);
}

VOID ReportWindowsHeld(const CHAR8 *when) {
  UINTN held = 0;
  for (UINTN i = 0; i < MovedCount; ++i) {
    // The address without the BAR's type bits.
    if ((Bar2(MovedDevices[i]) & ~UINT64{0xF}) == kChipsetWindows[i]) {
      ++held;
    }
  }
  TextLine line;
  LineStart(line, "windows-held at=");
  LineText(line, when);
  LineText(line, " count=");
  LineDecimal(line, held);
  LineText(line, " of=");
  LineDecimal(line, MovedCount);
  Record(line);
}
