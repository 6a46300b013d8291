// Reading a board scenario file into a BoardSetup. Every key is optional;
// a key that is given must be valid, or the whole scenario is refused.
#ifndef BOARDCFG_TOOLS_BOARDSIM_SCENARIO_H
#define BOARDCFG_TOOLS_BOARDSIM_SCENARIO_H

#include <optional>
#include <string>

#include "sim/board/board_setup.h"

namespace boardsim {

// Returns the reason the text is refused, naming the key, the value and
// what is accepted; nothing when the setup was filled in.
std::optional<std::string> ParseScenario(const std::string &text,
                                         sim::BoardSetup &setup);

// Reads and parses a scenario file; the reason names the file.
std::optional<std::string> LoadScenario(const std::string &path,
                                        sim::BoardSetup &setup);

}  // namespace boardsim

#endif
