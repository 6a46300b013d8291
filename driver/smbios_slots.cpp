#include "driver/board_actions.h"
#include "platform/service_globals.h"

VOID EFIAPI OnSmbiosServiceInstalled(EFI_EVENT event, VOID *) {
  ServiceGlobals.BootServices->CloseEvent(event);
}
