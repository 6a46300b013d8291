#ifndef BOARDCFG_SIM_FIRMWARE_BOOT_SERVICES_TABLE_H
#define BOARDCFG_SIM_FIRMWARE_BOOT_SERVICES_TABLE_H

#include "platform/uefi.h"

namespace sim {

// Points every modelled member of the table at the model's EFIAPI functions.
void FillBootServicesTable(EFI_BOOT_SERVICES &table);

}  // namespace sim

#endif
