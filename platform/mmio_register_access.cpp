// Image backend of the register seam: one volatile access per call, so the
// compiler can neither merge, split, cache nor reorder them.
#include "platform/register_access.h"

UINT8 RegisterRead8(UINTN address) {
  return *reinterpret_cast<volatile UINT8 *>(address);
}

UINT16 RegisterRead16(UINTN address) {
  return *reinterpret_cast<volatile UINT16 *>(address);
}

UINT32 RegisterRead32(UINTN address) {
  return *reinterpret_cast<volatile UINT32 *>(address);
}

VOID RegisterWrite8(UINTN address, UINT8 value) {
  *reinterpret_cast<volatile UINT8 *>(address) = value;
}

VOID RegisterWrite16(UINTN address, UINT16 value) {
  *reinterpret_cast<volatile UINT16 *>(address) = value;
}

VOID RegisterWrite32(UINTN address, UINT32 value) {
  *reinterpret_cast<volatile UINT32 *>(address) = value;
}
