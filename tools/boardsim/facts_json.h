// The test-side board facts as JSON, for the host-side scripts of the
// firmware stage: they take the board from here rather than spell it anew.
#ifndef BOARDCFG_TOOLS_BOARDSIM_FACTS_JSON_H
#define BOARDCFG_TOOLS_BOARDSIM_FACTS_JSON_H

#include <nlohmann/json.hpp>

namespace sim {

nlohmann::ordered_json FactsJson();

}  // namespace sim

#endif
