// The three outside services of one simulated board. Their entries take no
// interface pointer, so they reach their state through the current board.
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

}  // namespace sim

#endif
