#include "sim/board/invariants.h"

namespace sim {

std::vector<std::string> CheckInvariants(const SimulatedBoot &) { return {}; }

}  // namespace sim
