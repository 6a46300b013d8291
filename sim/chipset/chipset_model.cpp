#include "sim/chipset/chipset_model.h"

namespace sim {

uint32_t ChipsetModel::Read(uint64_t address, uint8_t width) {
  const uint32_t value = width == 32 ? 0xFFFFFFFFU : (1U << width) - 1;
  trace_.Record(AccessOp::Read, width, address, value, false);
  return value;
}

void ChipsetModel::Write(uint64_t address, uint8_t width, uint32_t value) {
  trace_.Record(AccessOp::Write, width, address, value, false);
}

namespace {
ChipsetModel *activeChipset = nullptr;
}

ChipsetModel &Chipset() {
  if (activeChipset == nullptr) {
    activeChipset = new ChipsetModel();
  }
  return *activeChipset;
}

void ResetChipset() {
  delete activeChipset;
  activeChipset = new ChipsetModel();
}

}  // namespace sim
