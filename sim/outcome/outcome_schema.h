// The JSON Schema (draft 2020-12) of the outcome OutcomeJson renders, for
// the tools that read it: the firmware stage checks both sides of its
// comparison against it.
#ifndef BOARDCFG_SIM_OUTCOME_OUTCOME_SCHEMA_H
#define BOARDCFG_SIM_OUTCOME_OUTCOME_SCHEMA_H

#include <nlohmann/json.hpp>

namespace sim {

nlohmann::ordered_json OutcomeSchema();

}  // namespace sim

#endif
