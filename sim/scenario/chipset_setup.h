// The chipset of a scenario's board, as the model holds it before the boot.
#ifndef BOARDCFG_SIM_SCENARIO_CHIPSET_SETUP_H
#define BOARDCFG_SIM_SCENARIO_CHIPSET_SETUP_H

#include "sim/chipset/chipset_model.h"
#include "sim/scenario/board_setup.h"

namespace sim {

// Sets the series, straps, GPP_B0, the P2SB, the LAN bridges and
// controllers and the raw registers of the setup on the chipset.
void ConfigureChipset(ChipsetModel &chipset, const BoardSetup &setup);

}  // namespace sim

#endif
