#include "driver/board_actions.h"
#include "gpio/gpio.h"
#include "platform/service_globals.h"

namespace {

constexpr PadCode kGppB0 = 0x03010000;
constexpr UINT32 kHostOwned = 0;

}  // namespace

VOID EFIAPI OnReadyToBoot(EFI_EVENT event, VOID *) {
  if (IsPadValid(kGppB0)) {
    UINT32 owner = ~kHostOwned;
    GetPadOwnership(kGppB0, &owner);
    if (owner == kHostOwned) {
      DriveGppB0Low();
    }
  }
  ServiceGlobals.BootServices->CloseEvent(event);
}
