// What a simulated boot did, as a JSON report and as a short account for a
// firmware engineer.
#ifndef BOARDCFG_TOOLS_BOARDSIM_REPORT_H
#define BOARDCFG_TOOLS_BOARDSIM_REPORT_H

#include <nlohmann/json.hpp>
#include <string>

#include "sim/board/simulated_boot.h"

namespace boardsim {

nlohmann::json JsonReport(const sim::SimulatedBoot &boot, bool withCalls);
std::string TextAccount(const nlohmann::json &report,
                        const sim::BoardSetup &setup);
// Every hardware access and service call, in the order they happened.
std::string TraceListing(const sim::SimulatedBoot &boot);

}  // namespace boardsim

#endif
