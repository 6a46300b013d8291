// The PCH GPIO communities in the private-register window, laid out by the
// group layout of one series: ownership, per-group status and enable
// registers, lock registers and the first two dwords of every pad.
#ifndef BOARDCFG_SIM_CHIPSET_GPIO_COMMUNITY_H
#define BOARDCFG_SIM_CHIPSET_GPIO_COMMUNITY_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/chipset/gpio_register_table.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

class GpioCommunities {
 public:
  static constexpr uint64_t kBase = facts::kPrivateWindowBase;
  static constexpr uint64_t kSize = facts::kPrivateWindowSize;

  static bool Contains(uint64_t address) {
    return facts::InPrivateWindow(address);
  }

  explicit GpioCommunities(std::vector<std::string> &notes);

  // Lays the registers out by one series' layout. Values at addresses that
  // both layouts have are kept, and so are loaded registers.
  void LayOut(const facts::GpioLayout &layout);

  // Empty for an address outside the layout.
  std::optional<uint32_t> Read(uint64_t address) const;
  // A plain store: ownership and lock registers keep their value. A pad's
  // DW0 and DW1 keep their value while the host does not own the pad, and
  // while the pad is configuration-locked all but DW0's TX state, which its
  // own TX-state lock keeps; DW0's RX state is the pin's. A store the
  // ownership or the configuration lock refuses is noted.
  bool Write(uint64_t address, uint32_t value);
  // A lock update from the sideband: false when (port, offset) is not a
  // Lock or LockTx register.
  bool SidebandWrite(uint8_t port, uint32_t offset, uint32_t value);
  // Sets the stored value, bypassing every protection; an address outside
  // the layout becomes a plain read-write register that outlives layouts.
  void Override(uint64_t address, uint32_t value);

  // Every register of the layout, by address, then every loaded one
  // outside it, by address, with its value.
  void ForEachRegister(
      const std::function<void(uint64_t address, uint32_t value)> &visit) const;

  // The pad's group index and number are taken against the layout in
  // force; its chipset ID is not consulted.
  void SetOwnership(facts::PadCode pad, uint8_t owner);
  void SetRxLevel(facts::PadCode pad, bool high);
  void SetDw0(facts::PadCode pad, uint32_t value);
  void SetTxLock(facts::PadCode pad, bool locked);
  void SetConfigLock(facts::PadCode pad, bool locked);
  uint32_t Dw0(facts::PadCode pad) const;
  bool TxLocked(facts::PadCode pad) const;
  bool ConfigLocked(facts::PadCode pad) const;

 private:
  // The bits of the pad's DW0 (or DW1) a store may change now, with the
  // reason for each refused one in notes.
  uint32_t PadStoreMask(const GpioRegisterTable::Entry &reg, uint32_t current,
                        uint32_t value);
  // The stored value of a register of the layout; throws for any other.
  uint32_t &Value(uint64_t address);
  uint32_t Value(uint64_t address) const;
  const facts::GpioGroup &GroupOf(facts::PadCode pad) const;
  facts::RegisterBits LockBit(facts::PadCode pad, bool tx) const;
  uint64_t Dw0Address(facts::PadCode pad) const;
  void SetBits(const facts::RegisterBits &bits, uint32_t field);
  bool TestBit(const facts::RegisterBits &bit) const;

  std::vector<std::string> &notes_;
  const GpioRegisterTable *table_ = nullptr;
  std::vector<uint32_t> values_;  // by index in the table
  // Registers an override added outside the layout: plain read-write.
  std::map<uint64_t, uint32_t> loaded_;
};

}  // namespace sim

#endif
