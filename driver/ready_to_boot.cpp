#include "driver/board_actions.h"
#include "platform/service_globals.h"

VOID EFIAPI OnReadyToBoot(EFI_EVENT event, VOID *) {
  ServiceGlobals.BootServices->CloseEvent(event);
}
