// The boot outcome as a short account for a firmware engineer, and every
// hardware access and service call of the boot in the order they happened.
#ifndef BOARDCFG_SIM_OUTCOME_OUTCOME_TEXT_H
#define BOARDCFG_SIM_OUTCOME_OUTCOME_TEXT_H

#include <string>

#include "sim/outcome/boot_outcome.h"

namespace sim {

std::string OutcomeText(const BootOutcome &outcome);
std::string TraceListing(const BootOutcome &outcome);

}  // namespace sim

#endif
