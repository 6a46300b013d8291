// What must hold after any simulated boot, whatever the board or the
// firmware did: the driver touched only registers it names, changed pads and
// locks only as it may, and left the firmware's books balanced.
#ifndef BOARDCFG_SIM_BOARD_INVARIANTS_H
#define BOARDCFG_SIM_BOARD_INVARIANTS_H

#include <string>
#include <vector>

#include "sim/board/simulated_boot.h"

namespace sim {

// Every broken invariant, described; empty when the boot was sound.
std::vector<std::string> CheckInvariants(const SimulatedBoot &boot);

}  // namespace sim

#endif
