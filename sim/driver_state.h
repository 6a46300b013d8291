// The writable globals of the firmware code, returned to their load-time
// values before each simulated boot, so that every boot starts from a
// freshly loaded image.
#ifndef BOARDCFG_SIM_DRIVER_STATE_H
#define BOARDCFG_SIM_DRIVER_STATE_H

#include <string>
#include <vector>

namespace sim {

void ResetDriverState();

// The globals ResetDriverState() returns, by the names the firmware code
// gives them.
std::vector<std::string> DriverGlobalsReset();

}  // namespace sim

#endif
