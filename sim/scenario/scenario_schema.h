// The scenario file described for editors and readers: its JSON Schema and
// the README's list of keys, both made from the table of keys.
#ifndef BOARDCFG_SIM_SCENARIO_SCENARIO_SCHEMA_H
#define BOARDCFG_SIM_SCENARIO_SCENARIO_SCHEMA_H

#include <nlohmann/json.hpp>
#include <string>

namespace sim {

// Draft 2020-12.
nlohmann::ordered_json ScenarioSchema();

// Each key with the default board's value, what it sets and what it
// accepts, in lines of at most 100 columns.
std::string ScenarioKeyListing();

}  // namespace sim

#endif
