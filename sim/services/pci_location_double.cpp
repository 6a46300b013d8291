#include "sim/services/pci_location_double.h"

#include "sim/facts/board.h"
#include "sim/firmware/firmware_model.h"
#include "sim/services/service_doubles.h"

namespace sim {

namespace {

UINT32 EFIAPI LookupBridgeEntry(UINTN key) {
  FirmwareModel &firmware = Firmware();
  const size_t index =
      firmware.Record("PciLocationService.LookupBridge", {key});
  const UINT32 bridge = Services().pciLocation.LookupBridge(key);
  firmware.Finish(index, bridge, false);
  return bridge;
}

}  // namespace

PciLocationDouble::PciLocationDouble() {
  for (const facts::LanPort &port : facts::kLanPorts) {
    bridges_[port.key] = port.bridge;
  }
  interface_.LookupBridge = LookupBridgeEntry;
}

UINT32 PciLocationDouble::LookupBridge(UINTN key) const {
  auto found = bridges_.find(key);
  return found == bridges_.end() ? 0 : found->second;
}

}  // namespace sim
