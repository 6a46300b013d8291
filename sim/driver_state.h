// Returns every lazily filled global of the firmware code to its load-time
// value, so that each simulated boot starts from a freshly loaded image.
#ifndef BOARDCFG_SIM_DRIVER_STATE_H
#define BOARDCFG_SIM_DRIVER_STATE_H

namespace sim {

void ResetDriverState();

}  // namespace sim

#endif
