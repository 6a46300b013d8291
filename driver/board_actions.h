// Notify functions of the three events that the entry arms.
#ifndef BOARDCFG_DRIVER_BOARD_ACTIONS_H
#define BOARDCFG_DRIVER_BOARD_ACTIONS_H

#include "platform/uefi.h"

VOID EFIAPI OnReadyToBoot(EFI_EVENT event, VOID *context);
VOID EFIAPI OnStringServiceInstalled(EFI_EVENT event, VOID *context);
VOID EFIAPI OnSmbiosServiceInstalled(EFI_EVENT event, VOID *context);

#endif
