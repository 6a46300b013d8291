// Register-level model of the board's chipset behind the register seam.
#ifndef BOARDCFG_SIM_CHIPSET_CHIPSET_MODEL_H
#define BOARDCFG_SIM_CHIPSET_CHIPSET_MODEL_H

#include <cstdint>

#include "sim/chipset/access_trace.h"

namespace sim {

class ChipsetModel {
 public:
  uint32_t Read(uint64_t address, uint8_t width);
  void Write(uint64_t address, uint8_t width, uint32_t value);
  AccessTrace &Trace() { return trace_; }
  const AccessTrace &Trace() const { return trace_; }

 private:
  AccessTrace trace_;
};

// The instance the host register backend reaches.
ChipsetModel &Chipset();
// Replaces it with a freshly built board.
void ResetChipset();

}  // namespace sim

#endif
