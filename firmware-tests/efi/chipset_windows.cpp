#include "firmware-tests/efi/chipset_windows.h"

#include "firmware-tests/efi/shared_memory_devices.h"
#include "firmware-tests/efi/stage_log.h"

namespace {

constexpr UINT16 kMemorySpaceEnable = 0x0002;

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
  for (UINTN device = 0; device < kSharedMemoryDeviceLimit && moved < 2;
       ++device) {
    if (!IsSharedMemoryDevice(device)) {
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
    if (Bar2Address(MovedDevices[i]) == kChipsetWindows[i]) {
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
