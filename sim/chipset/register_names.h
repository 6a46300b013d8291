// The name of the register an address reaches, from the models' own board
// and GPIO facts, for traces a person reads: "LPC device ID",
// "P2SB status", "GPP_K own[0]", "GPP_K3 DW0", "GPP_B lock tx[0]",
// "LAN port 1 BAR0", "LAN port 2 receive address[3]". Empty where the models
// know no register.
#ifndef BOARDCFG_SIM_CHIPSET_REGISTER_NAMES_H
#define BOARDCFG_SIM_CHIPSET_REGISTER_NAMES_H

#include <cstdint>
#include <string>

#include "sim/facts/gpio_layout.h"

namespace sim {

std::string RegisterName(uint64_t address, facts::Series series);

}  // namespace sim

#endif
