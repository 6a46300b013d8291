// One counter orders hardware accesses and firmware service calls together,
// so the two records can be merged into a single account of a boot. A
// simulated board's chipset and firmware share its counter; a chipset model
// built alone keeps one of its own.
#ifndef BOARDCFG_SIM_SEQUENCE_H
#define BOARDCFG_SIM_SEQUENCE_H

#include <cstdint>

namespace sim {

class Sequence {
 public:
  uint64_t Next() { return next_++; }
  // The number the next event will take; nothing is taken. Inline: the
  // trace asks it on every read of a polling loop.
  uint64_t Peek() const { return next_; }

 private:
  uint64_t next_ = 0;
};

}  // namespace sim

#endif
