// Entry 4 of the board service: MAC addresses of the onboard I210s, read
// from the receive-address registers of the controller behind each of two
// board bridges.
#ifndef BOARDCFG_DRIVER_ONBOARD_LAN_H
#define BOARDCFG_DRIVER_ONBOARD_LAN_H

#include "platform/outside_services.h"
#include "platform/register_access.h"
#include "platform/uefi.h"

extern PciLocationService *PciLocationCache;

PciLocationService *GetPciLocationService();
EFI_STATUS AppendI210Mac(PciAddress16 device, UINT8 *list);
EFI_STATUS EFIAPI CollectOnboardLanMacs(UINT8 *first, UINT8 *second);

#endif
