// Image entry point, called by the firmware once per boot.
#ifndef BOARDCFG_DRIVER_DRIVER_ENTRY_H
#define BOARDCFG_DRIVER_DRIVER_ENTRY_H

#include "platform/uefi.h"

extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE image,
                                         EFI_SYSTEM_TABLE *system);

#endif
