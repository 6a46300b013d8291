// QEMU's q35 configuration window as OVMF programs it, and the shared-memory
// devices (ivshmem-plain) whose 64-bit BAR2 backs the chipset windows of a
// laid-out board, in the order of their device numbers on bus 0.
#ifndef BOARDCFG_FIRMWARE_TESTS_SHARED_MEMORY_DEVICES_H
#define BOARDCFG_FIRMWARE_TESTS_SHARED_MEMORY_DEVICES_H

#include "platform/register_access.h"
#include "sim/facts/board.h"

inline constexpr UINTN kConfigWindow = 0xB0000000;
inline constexpr UINT32 kIvshmemIds = 0x11101AF4;
inline constexpr UINT64 kChipsetWindows[2] = {facts::kPciWindowBase,
                                              facts::kPrivateWindowBase};
inline constexpr UINTN kSharedMemoryDeviceLimit = 32;
inline constexpr UINTN kBar2LowOffset = 0x18;
inline constexpr UINTN kBar2HighOffset = 0x1C;

inline UINTN ConfigAddress(UINTN device, UINTN offset) {
  return kConfigWindow + (device << 15) + offset;
}

inline BOOLEAN IsSharedMemoryDevice(UINTN device) {
  return RegisterRead32(ConfigAddress(device, facts::kPciIdsOffset)) ==
         kIvshmemIds;
}

inline UINT64 Bar2(UINTN device) {
  return (UINT64{RegisterRead32(ConfigAddress(device, kBar2HighOffset))}
          << 32) |
         RegisterRead32(ConfigAddress(device, kBar2LowOffset));
}

// BAR2's address, without its type bits.
inline UINT64 Bar2Address(UINTN device) { return Bar2(device) & ~UINT64{0xF}; }

// A shared-memory device backs the window at `base`: reads there reach a
// board, not QEMU's unbacked-access log.
inline BOOLEAN WindowBacked(UINT64 base) {
  for (UINTN device = 0; device < kSharedMemoryDeviceLimit; ++device) {
    if (IsSharedMemoryDevice(device) && Bar2Address(device) == base) {
      return TRUE;
    }
  }
  return FALSE;
}

#endif
