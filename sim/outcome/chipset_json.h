// What the chipset saw, as JSON: one access of the trace, one sideband
// message. The boot outcome and the live board of the firmware stage both
// render them so.
#ifndef BOARDCFG_SIM_OUTCOME_CHIPSET_JSON_H
#define BOARDCFG_SIM_OUTCOME_CHIPSET_JSON_H

#include <nlohmann/json.hpp>

#include "sim/chipset/access_trace.h"
#include "sim/chipset/p2sb.h"

namespace sim {

nlohmann::ordered_json SidebandMessageJson(const SidebandMessage &message);
nlohmann::ordered_json AccessJson(const Access &access);

}  // namespace sim

#endif
