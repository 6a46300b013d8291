// Board scenario files: the default board with any of its keys given
// otherwise. A key that is given must be valid, or the whole scenario is
// refused with one line naming the key, the value and what is accepted.
#ifndef BOARDCFG_SIM_SCENARIO_SCENARIO_FILE_H
#define BOARDCFG_SIM_SCENARIO_SCENARIO_FILE_H

#include <optional>
#include <string>

#include "sim/scenario/board_setup.h"

namespace sim {

// Fills setup from the default board and the text's keys; returns the
// reason the text is refused instead, leaving setup as it was.
std::optional<std::string> ParseScenario(const std::string &text,
                                         BoardSetup &setup);

// Reads and parses a scenario file; the reason names the file.
std::optional<std::string> LoadScenario(const std::string &path,
                                        BoardSetup &setup);

}  // namespace sim

#endif
