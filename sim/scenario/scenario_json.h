// A setup written back as a scenario file.
#ifndef BOARDCFG_SIM_SCENARIO_SCENARIO_JSON_H
#define BOARDCFG_SIM_SCENARIO_SCENARIO_JSON_H

#include <nlohmann/json.hpp>
#include <string>

#include "sim/scenario/board_setup.h"

namespace sim {

// Every key of the setup, in the file's own form: parsing it gives the
// same setup back, so any boot can be written out and replayed. A schema
// path is written as the file's "$schema", for an editor.
nlohmann::ordered_json ScenarioJson(const BoardSetup &setup,
                                    const std::string &schema = "");

}  // namespace sim

#endif
