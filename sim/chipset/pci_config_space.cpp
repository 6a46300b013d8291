#include "sim/chipset/pci_config_space.h"

namespace sim {

PciFunction &PciConfigSpace::Add(uint16_t function) {
  auto [added, inserted] = functions_.try_emplace(function);
  if (!inserted) {
    added->second = PciFunction();
  }
  return added->second;
}

PciFunction *PciConfigSpace::Find(uint16_t function) {
  auto found = functions_.find(function);
  return found == functions_.end() ? nullptr : &found->second;
}

const PciFunction *PciConfigSpace::Find(uint16_t function) const {
  auto found = functions_.find(function);
  return found == functions_.end() ? nullptr : &found->second;
}

void PciConfigSpace::ForEachFunction(
    const std::function<void(uint16_t code, const PciFunction &function)>
        &visit) const {
  for (const auto &[code, function] : functions_) {
    visit(code, function);
  }
}

std::optional<uint32_t> PciConfigSpace::Read(uint64_t address,
                                             uint8_t width) const {
  const PciFunction *function = Find(FunctionOf(address));
  if (function == nullptr) {
    return std::nullopt;
  }
  return function->Read(OffsetOf(address), width);
}

bool PciConfigSpace::Write(uint64_t address, uint8_t width, uint32_t value) {
  PciFunction *function = Find(FunctionOf(address));
  return function != nullptr &&
         function->Write(OffsetOf(address), width, value);
}

}  // namespace sim
