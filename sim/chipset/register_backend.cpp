// Host backend of the register seam: every access goes to the current
// board's chipset.
#include "platform/register_access.h"
#include "sim/board/simulated_board.h"

UINT8 RegisterRead8(UINTN address) {
  return static_cast<UINT8>(sim::CurrentBoard().Chipset().Read(address, 8));
}

UINT16 RegisterRead16(UINTN address) {
  return static_cast<UINT16>(sim::CurrentBoard().Chipset().Read(address, 16));
}

UINT32 RegisterRead32(UINTN address) {
  return sim::CurrentBoard().Chipset().Read(address, 32);
}

VOID RegisterWrite8(UINTN address, UINT8 value) {
  sim::CurrentBoard().Chipset().Write(address, 8, value);
}

VOID RegisterWrite16(UINTN address, UINT16 value) {
  sim::CurrentBoard().Chipset().Write(address, 16, value);
}

VOID RegisterWrite32(UINTN address, UINT32 value) {
  sim::CurrentBoard().Chipset().Write(address, 32, value);
}
