#include "sim/sequence.h"

namespace sim {

uint64_t NextSequence() {
  static uint64_t next = 0;
  return next++;
}

}  // namespace sim
