// Sideband message registers in the P2SB's configuration space (bus 0,
// device 31, function 1).
#ifndef BOARDCFG_GPIO_P2SB_REGISTERS_H
#define BOARDCFG_GPIO_P2SB_REGISTERS_H

#include "platform/register_access.h"

inline constexpr UINT32 kP2sbVendorId = PciConfigAddress(0, 31, 1, 0x00);
// Port in bits 31..24, offset bits 15..0 in bits 15..0.
inline constexpr UINT32 kP2sbAddress = PciConfigAddress(0, 31, 1, 0xD0);
inline constexpr UINT32 kP2sbData = PciConfigAddress(0, 31, 1, 0xD4);
// Bit 0 busy (1 starts), bits 2..1 completion status, bits 15..8 opcode.
inline constexpr UINT32 kP2sbStatus = PciConfigAddress(0, 31, 1, 0xD8);
inline constexpr UINT32 kP2sbRouting = PciConfigAddress(0, 31, 1, 0xDA);
// Offset bits 31..16.
inline constexpr UINT32 kP2sbExtendedAddress = PciConfigAddress(0, 31, 1, 0xDC);

inline constexpr UINT16 kP2sbBusy = 1;
inline constexpr UINT16 kP2sbRoutingWord = 0xF000;

#endif
