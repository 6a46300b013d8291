#include "gpio/gpio.h"
#include "gpio/p2sb_registers.h"
#include "platform/register_access.h"

namespace {

constexpr UINT32 kPollLimit = 0x0FFFFFFF;

BOOLEAN IsOpcodeAccepted(INT32 opcode) {
  return opcode <= 1 || (opcode >= 4 && opcode <= 7) ||
         opcode == kSidebandOpcodeGpioLock;
}

// Reads the status until busy clears, at most kPollLimit times; FALSE when
// the last allowed read is still busy.
BOOLEAN WaitWhileBusy(UINT16 *status) {
  for (UINT32 reads = 0; reads < kPollLimit; ++reads) {
    *status = RegisterRead16(kP2sbStatus);
    if ((*status & kP2sbBusy) == 0) {
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

EFI_STATUS SendSidebandMessage(UINT8 port, UINT32 offset, UINT32 *data,
                               UINT8 *response, INT32 opcode) {
  if (!IsOpcodeAccepted(opcode)) {
    return EFI_INVALID_PARAMETER;
  }
  if (RegisterRead16(kP2sbVendorId) == 0xFFFF) {
    return EFI_DEVICE_ERROR;
  }
  UINT16 status;
  if (!WaitWhileBusy(&status)) {
    return EFI_TIMEOUT;
  }
  *response = 4;
  RegisterWrite32(kP2sbAddress,
                  (static_cast<UINT32>(port) << 24) | (offset & 0xFFFF));
  RegisterWrite32(kP2sbExtendedAddress, offset >> 16);
  // Keeps bits 6..0 and clears bit 7; every message is a GPIO lock update,
  // whatever opcode the caller passed.
  RegisterWrite16(kP2sbStatus, (RegisterRead16(kP2sbStatus) & 0x007F) |
                                   (kSidebandOpcodeGpioLock << 8));
  RegisterWrite16(kP2sbRouting, kP2sbRoutingWord);
  RegisterWrite32(kP2sbData, *data);
  RegisterWrite16(kP2sbStatus, RegisterRead16(kP2sbStatus) | kP2sbBusy);
  if (!WaitWhileBusy(&status)) {
    return EFI_TIMEOUT;
  }
  *response = (status >> 1) & 3;
  return *response == 0 ? EFI_SUCCESS : EFI_DEVICE_ERROR;
}
