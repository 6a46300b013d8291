// The registers one series' group layout defines in the private-register
// window, each with its role: built once per layout on first use and never
// changed, so that a chipset laid out afresh for every boot only resets its
// values.
#ifndef BOARDCFG_SIM_CHIPSET_GPIO_REGISTER_TABLE_H
#define BOARDCFG_SIM_CHIPSET_GPIO_REGISTER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/facts/gpio_layout.h"

namespace sim {

enum class GpioRole : uint8_t { Plain, Ownership, Lock, LockTx, Dw0, Dw1 };

class GpioRegisterTable {
 public:
  struct Entry {
    uint64_t address;
    GpioRole role;
    facts::PadCode pad;  // DW0, DW1: group index and number in the layout
  };

  // The table of the layout, built on the first call for it.
  static const GpioRegisterTable &Of(const facts::GpioLayout &layout);

  explicit GpioRegisterTable(const facts::GpioLayout &layout);
  GpioRegisterTable(const GpioRegisterTable &) = delete;
  GpioRegisterTable &operator=(const GpioRegisterTable &) = delete;

  const facts::GpioLayout &Layout() const { return layout_; }
  // By address, ascending.
  const std::vector<Entry> &Entries() const { return entries_; }
  size_t Size() const { return entries_.size(); }
  // The entry's index; empty for an address the layout does not define.
  std::optional<size_t> Find(uint64_t address) const;

 private:
  void Define(uint64_t address, GpioRole role, facts::PadCode pad = 0);

  facts::GpioLayout layout_;
  std::vector<Entry> entries_;
  // Every dword from the lowest address to the highest: its entry's index
  // plus one, 0 where the layout has none.
  std::vector<uint16_t> indexByDword_;
};

}  // namespace sim

#endif
