// Pruning of the System Slots records to the one of the fitted riser.
#ifndef BOARDCFG_DRIVER_SMBIOS_SLOTS_H
#define BOARDCFG_DRIVER_SMBIOS_SLOTS_H

#include "platform/uefi.h"

VOID DeleteSlotRecord(UINT8 instance);

#endif
