// The driver's only path to hardware: single loads and stores of a physical
// address, each reaching the device as one access of the stated width.
// The image links volatile memory accesses; host builds link a chipset model.
#ifndef BOARDCFG_PLATFORM_REGISTER_ACCESS_H
#define BOARDCFG_PLATFORM_REGISTER_ACCESS_H

#include "platform/uefi.h"

UINT8 RegisterRead8(UINTN address);
UINT16 RegisterRead16(UINTN address);
UINT32 RegisterRead32(UINTN address);
VOID RegisterWrite8(UINTN address, UINT8 value);
VOID RegisterWrite16(UINTN address, UINT16 value);
VOID RegisterWrite32(UINTN address, UINT32 value);

// Bus in bits 15..8, device in bits 7..3, function in bits 2..0.
typedef UINT16 PciAddress16;

inline constexpr UINT32 kPciConfigBase = 0xE0000000;
inline constexpr UINT32 kPrivateRegisterBase = 0xFD000000;

constexpr UINT32 PciConfigAddress(UINT32 bus, UINT32 device, UINT32 function,
                                  UINT32 offset) {
  return kPciConfigBase + bus * 0x100000U + device * 0x8000U +
         function * 0x1000U + offset;
}

constexpr UINT32 PciConfigAddress(PciAddress16 function, UINT32 offset) {
  return kPciConfigBase + static_cast<UINT32>(function) * 0x1000U + offset;
}

constexpr UINT32 PrivateRegisterAddress(UINT8 port, UINT32 offset) {
  return kPrivateRegisterBase | (static_cast<UINT32>(port) << 16) |
         (offset & 0xFFFFU);
}

#endif
