#include "sim/scenario/chipset_setup.h"

#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

namespace {

P2sbState StateOf(P2sbBehaviour behaviour) {
  switch (behaviour) {
    case P2sbBehaviour::Absent:
      return P2sbState::Absent;
    case P2sbBehaviour::Stuck:
      return P2sbState::Stuck;
    case P2sbBehaviour::Error:
      return P2sbState::CompletesWithError;
    case P2sbBehaviour::Ok:
      break;
  }
  return P2sbState::Ok;
}

}  // namespace

void ConfigureChipset(ChipsetModel &chipset, const BoardSetup &setup) {
  chipset.SetLpcDeviceId(setup.pchDeviceId);
  if (facts::SeriesOfLpcDeviceId(setup.pchDeviceId) != facts::Series::Lp) {
    // The LP series has no GPP_K group: its straps are not wired.
    for (uint32_t i = 0; i < setup.straps.size(); ++i) {
      const facts::PadCode strap =
          facts::PadCodeOf(facts::Series::H, facts::kGppK[i]);
      chipset.SetPadOwnership(strap, setup.strapOwners[i]);
      chipset.SetPadRxLevel(strap, setup.straps[i] != 0);
    }
  }
  const facts::PadCode gppB0 = GppB0Of(setup);
  chipset.SetPadOwnership(gppB0, setup.gppB0.owner);
  chipset.SetPadDw0(gppB0, setup.gppB0.dw0);
  chipset.SetPadTxLock(gppB0, setup.gppB0.txLocked);
  chipset.SetP2sbState(StateOf(setup.p2sb), setup.p2sbCompletion);
  chipset.SetP2sbBusyReads(setup.p2sbBusyReads);

  for (size_t i = 0; i < setup.lan.size(); ++i) {
    const facts::LanPort &port = facts::kLanPorts[i];
    chipset.AddBridge(port.bridge, port.bus);
    chipset.SetDeviceBehind(port.bus, setup.lan[i], setup.macs[i], port.bar0);
  }

  for (const auto &[address, value] : setup.registers) {
    chipset.OverrideRegister(address, value);
  }
  chipset.SetReadsZeroEverywhere(setup.readsZero);
}

}  // namespace sim
