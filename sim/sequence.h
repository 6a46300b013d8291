// One counter orders hardware accesses and firmware service calls together,
// so the two records can be merged into a single account of a boot.
#ifndef BOARDCFG_SIM_SEQUENCE_H
#define BOARDCFG_SIM_SEQUENCE_H

#include <cstdint>

namespace sim {

uint64_t NextSequence();

}  // namespace sim

#endif
