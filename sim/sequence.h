// One counter orders hardware accesses and firmware service calls together,
// so the two records can be merged into a single account of a boot.
#ifndef BOARDCFG_SIM_SEQUENCE_H
#define BOARDCFG_SIM_SEQUENCE_H

#include <cstdint>

namespace sim {

namespace detail {
inline uint64_t nextSequence = 0;
}

inline uint64_t NextSequence() { return detail::nextSequence++; }

// The number the next event will take; nothing is taken. Inline: the trace
// asks it on every read of a polling loop.
inline uint64_t PeekSequence() { return detail::nextSequence; }

}  // namespace sim

#endif
