// The memory-mapped PCI configuration window: finds the function that an
// address names and hands it the access.
#ifndef BOARDCFG_SIM_CHIPSET_PCI_CONFIG_SPACE_H
#define BOARDCFG_SIM_CHIPSET_PCI_CONFIG_SPACE_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "sim/chipset/pci_function.h"
#include "sim/facts/board.h"

namespace sim {

class PciConfigSpace {
 public:
  static bool Contains(uint64_t address) { return facts::InPciWindow(address); }
  // Bus in bits 15..8, device in bits 7..3, function in bits 2..0.
  static uint16_t FunctionOf(uint64_t address) {
    return static_cast<uint16_t>((address - facts::kPciWindowBase) >> 12);
  }
  static uint16_t OffsetOf(uint64_t address) {
    return static_cast<uint16_t>(address & 0xFFF);
  }

  // Adds the function, or gives it afresh when it exists.
  PciFunction &Add(uint16_t function);
  PciFunction *Find(uint16_t function);
  const PciFunction *Find(uint16_t function) const;

  void ForEachFunction(
      const std::function<void(uint16_t code, const PciFunction &function)>
          &visit) const;

  // Empty for a function or register the model does not have.
  std::optional<uint32_t> Read(uint64_t address, uint8_t width) const;
  bool Write(uint64_t address, uint8_t width, uint32_t value);

 private:
  std::map<uint16_t, PciFunction> functions_;
};

}  // namespace sim

#endif
