// The driver's own start-up: installs the board service and arms the three
// notifications through which all later work happens.
#ifndef BOARDCFG_DRIVER_BOARD_HOOKS_H
#define BOARDCFG_DRIVER_BOARD_HOOKS_H

#include "platform/uefi.h"

EFI_STATUS RegisterBoardHooks(EFI_HANDLE image, EFI_SYSTEM_TABLE *system);

#endif
