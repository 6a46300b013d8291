// Entry 4 of the board service: MAC addresses of the onboard I210s.
#ifndef BOARDCFG_DRIVER_ONBOARD_LAN_H
#define BOARDCFG_DRIVER_ONBOARD_LAN_H

#include "platform/uefi.h"

EFI_STATUS EFIAPI CollectOnboardLanMacs(UINT8 *first, UINT8 *second);

#endif
