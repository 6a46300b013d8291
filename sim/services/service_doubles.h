// The three outside services of one simulated boot. Their entries take no
// interface pointer, so they reach their state through this instance.
#ifndef BOARDCFG_SIM_SERVICES_SERVICE_DOUBLES_H
#define BOARDCFG_SIM_SERVICES_SERVICE_DOUBLES_H

#include "sim/services/pci_location_double.h"
#include "sim/services/setup_string_double.h"
#include "sim/services/smbios_record_double.h"

namespace sim {

struct ServiceDoubles {
  SmbiosRecordDouble smbios;
  SetupStringDouble setupStrings;
  PciLocationDouble pciLocation;
};

ServiceDoubles &Services();
void ResetServices();
// Frees them; the next Services() builds new ones.
void FreeServices();

}  // namespace sim

#endif
