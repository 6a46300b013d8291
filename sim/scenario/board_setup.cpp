#include "sim/scenario/board_setup.h"

#include "sim/facts/board.h"

namespace sim {

std::vector<BootStep> StepsFor(const std::vector<OutsideService> &preinstalled,
                               const std::vector<OutsideService> &services) {
  using Kind = BootStep::Kind;
  std::vector<BootStep> steps;
  for (OutsideService service : preinstalled) {
    steps.push_back({Kind::Install, service});
  }
  steps.push_back({Kind::Entry});
  for (OutsideService service : services) {
    steps.push_back({Kind::Install, service});
  }
  steps.push_back({Kind::ReadyToBoot});
  steps.push_back({Kind::ReadyToBoot});
  steps.push_back({Kind::Entry4});
  return steps;
}

std::map<uint64_t, uint16_t> BoardSetup::DefaultBridgeKeys() {
  std::map<uint64_t, uint16_t> keys;
  for (const facts::LanPort &port : facts::kLanPorts) {
    keys[port.key] = port.bridge;
  }
  return keys;
}

facts::PadCode GppB0Of(const BoardSetup &setup) {
  return facts::PadCodeOf(facts::SeriesOfLpcDeviceId(setup.pchDeviceId),
                          facts::kGppB0);
}

}  // namespace sim
