// Stand-in for the firmware service that names the board's bridges: a key
// maps to the PciAddress16 of a PCI-to-PCI bridge.
#ifndef BOARDCFG_SIM_SERVICES_PCI_LOCATION_DOUBLE_H
#define BOARDCFG_SIM_SERVICES_PCI_LOCATION_DOUBLE_H

#include <cstdint>
#include <map>

#include "platform/outside_services.h"

namespace sim {

class PciLocationDouble {
 public:
  // Knows the bridges in front of the two onboard controllers.
  PciLocationDouble();

  void MapKey(UINTN key, uint16_t bridge) { bridges_[key] = bridge; }
  PciLocationService *Interface() { return &interface_; }

  // Unknown keys yield 0, as a lookup of an undefined token does.
  UINT32 LookupBridge(UINTN key) const;

 private:
  std::map<UINTN, uint16_t> bridges_;
  PciLocationService interface_{};
};

}  // namespace sim

#endif
