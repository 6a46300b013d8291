#include "sim/services/pci_location_double.h"

#include "sim/board/simulated_board.h"
#include "sim/facts/board.h"
#include "sim/firmware/service_host.h"

namespace sim {

namespace {

UINT32 EFIAPI LookupBridgeEntry(UINTN key) {
  return static_cast<UINT32>(AnswerRecorded(
      "PciLocationService.LookupBridge", {key},
      [&] { return CurrentBoard().Services().pciLocation.LookupBridge(key); }));
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
