// What must hold after any simulated boot, whatever the board or the
// firmware did: the driver touched only registers it names, changed pads and
// locks only as it may, and left the firmware's books balanced.
#ifndef BOARDCFG_SIM_BOARD_INVARIANTS_H
#define BOARDCFG_SIM_BOARD_INVARIANTS_H

#include <string>
#include <vector>

#include "sim/board/simulated_boot.h"

namespace sim {

// With hostile reads the model's notes on what the driver sent judge values
// the reads invented (a status that reads back another opcode sends its
// message with it), so only the driver's own conduct is checked.
enum class HardwareReads { Modelled, Hostile };

// Every broken invariant, described; empty when the boot was sound.
std::vector<std::string> CheckInvariants(
    const SimulatedBoot &boot, HardwareReads reads = HardwareReads::Modelled);

}  // namespace sim

#endif
