// The boot outcome as JSON: the shape `boardsim --json` prints and the
// firmware stage reads the real image's outcome into.
#ifndef BOARDCFG_SIM_OUTCOME_OUTCOME_JSON_H
#define BOARDCFG_SIM_OUTCOME_OUTCOME_JSON_H

#include <nlohmann/json.hpp>

#include "sim/outcome/boot_outcome.h"

namespace sim {

// withCalls adds every service call, host addresses and all.
nlohmann::ordered_json OutcomeJson(const BootOutcome &outcome, bool withCalls);

}  // namespace sim

#endif
