// The PCH GPIO communities in the private-register window, laid out by the
// group table of one series: ownership, per-group status and enable
// registers, lock registers and the first two dwords of every pad.
#ifndef BOARDCFG_SIM_CHIPSET_GPIO_COMMUNITY_H
#define BOARDCFG_SIM_CHIPSET_GPIO_COMMUNITY_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gpio/gpio.h"

namespace sim {

class GpioCommunities {
 public:
  static constexpr uint64_t kBase = 0xFD000000;
  static constexpr uint64_t kSize = 0x01000000;

  static bool Contains(uint64_t address) {
    return address >= kBase && address < kBase + kSize;
  }

  explicit GpioCommunities(std::vector<std::string> &notes);

  // Lays the registers out by the LP or the H table. Values at addresses
  // that both layouts have are kept.
  void LayOut(bool lp);

  // Empty for an address outside the layout.
  std::optional<uint32_t> Read(uint64_t address) const;
  // A plain store: ownership and lock registers keep their value, and DW0
  // keeps its RX state, its TX state while TX-locked and all other bits
  // while configuration-locked.
  bool Write(uint64_t address, uint32_t value);
  // A lock update from the sideband: false when (port, offset) is not a
  // Lock or LockTx register.
  bool SidebandWrite(uint8_t port, uint32_t offset, uint32_t value);
  // Sets the stored value, bypassing every protection; an address outside
  // the layout becomes a plain read-write register that outlives layouts.
  void Override(uint64_t address, uint32_t value);

  // Every register of the layout and every loaded one, with its value.
  void ForEachRegister(
      const std::function<void(uint64_t address, uint32_t value)> &visit) const;

  // The pad's group index and number are taken against the layout in
  // force; its chipset ID is not consulted.
  void SetOwnership(PadCode pad, uint8_t owner);
  void SetRxLevel(PadCode pad, bool high);
  void SetDw0(PadCode pad, uint32_t value);
  void SetTxLock(PadCode pad, bool locked);
  void SetConfigLock(PadCode pad, bool locked);
  uint32_t Dw0(PadCode pad) const;
  bool TxLocked(PadCode pad) const;
  bool ConfigLocked(PadCode pad) const;

 private:
  enum class Role : uint8_t { Plain, Loaded, Ownership, Lock, LockTx, Dw0 };
  struct Register {
    uint32_t value;
    Role role;
    PadCode pad;  // DW0 only: group index and number in the layout
  };
  struct PadBit {
    uint64_t address;
    uint32_t mask;
  };

  void Define(uint8_t port, uint32_t offset, Role role, PadCode pad = 0);
  const GpioGroupRecord &GroupOf(PadCode pad) const;
  PadBit LockBit(PadCode pad, bool tx) const;
  uint64_t Dw0Address(PadCode pad) const;
  void SetBit(const PadBit &bit, bool set);
  bool TestBit(const PadBit &bit) const;

  std::vector<std::string> &notes_;
  const GpioGroupRecord *table_ = nullptr;
  uint32_t groupCount_ = 0;
  std::unordered_map<uint64_t, Register> registers_;
};

}  // namespace sim

#endif
