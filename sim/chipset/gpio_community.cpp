#include "sim/chipset/gpio_community.h"

#include <stdexcept>

#include "sim/hex_text.h"

namespace sim {

GpioCommunities::GpioCommunities(std::vector<std::string> &notes)
    : notes_(notes) {
  LayOut(facts::kGpioLayoutH);
}

void GpioCommunities::LayOut(const facts::GpioLayout &layout) {
  std::unordered_map<uint64_t, Register> previous;
  previous.swap(registers_);
  layout_ = layout;
  for (uint32_t index = 0; index < layout.count; ++index) {
    const facts::GpioGroup &group = layout[index];
    for (uint32_t i = 0; i < facts::OwnershipRegisterCount(group); ++i) {
      Define(
          facts::GroupRegister(group, group.own + i * facts::kOwnershipStride),
          Role::Ownership);
    }
    const uint32_t blocks = facts::PadBitRegisterCount(group);
    for (uint16_t field :
         {group.hostSw, group.intSts, group.intEn, group.gpeSts, group.gpeEn,
          group.smiSts, group.smiEn, group.nmiSts, group.nmiEn}) {
      for (uint32_t i = 0; field != facts::kNoRegister && i < blocks; ++i) {
        Define(facts::GroupRegister(group, field + i * facts::kPadBitStride),
               Role::Plain);
      }
    }
    for (uint16_t number = 0; number < group.pads; number += 32) {
      Define(facts::PadLock(group, number).address, Role::Lock);
      Define(facts::PadLockTx(group, number).address, Role::LockTx);
    }
    for (uint16_t number = 0; number < group.pads; ++number) {
      const uint64_t dw0 = facts::PadDw0(group, number);
      Define(dw0, Role::Dw0, index << 16 | number);
      Define(dw0 + 4, Role::Dw1, index << 16 | number);
    }
  }
  for (const auto &[address, old] : previous) {
    auto kept = registers_.find(address);
    if (kept != registers_.end()) {
      kept->second.value = old.value;
    } else if (old.role == Role::Loaded) {
      registers_.emplace(address, old);
    }
  }
}

void GpioCommunities::Define(uint64_t address, Role role, facts::PadCode pad) {
  if (!registers_.emplace(address, Register{0, role, pad}).second) {
    throw std::logic_error("GPIO layout defines " + Hex(address) + " twice");
  }
}

std::optional<uint32_t> GpioCommunities::Read(uint64_t address) const {
  auto found = registers_.find(address);
  if (found == registers_.end()) {
    return std::nullopt;
  }
  return found->second.value;
}

bool GpioCommunities::Write(uint64_t address, uint32_t value) {
  auto found = registers_.find(address);
  if (found == registers_.end()) {
    return false;
  }
  Register &reg = found->second;
  switch (reg.role) {
    case Role::Plain:
    case Role::Loaded:
      reg.value = value;
      break;
    case Role::Ownership:
      notes_.push_back("plain store to read-only ownership register " +
                       Hex(address) + " ignored");
      break;
    case Role::Lock:
    case Role::LockTx:
      notes_.push_back("plain store to lock register " + Hex(address) +
                       " ignored: lock registers change only by sideband");
      break;
    case Role::Dw0:
    case Role::Dw1: {
      const uint32_t writable = PadStoreMask(reg, address, value);
      reg.value = (reg.value & ~writable) | (value & writable);
      break;
    }
  }
  return true;
}

uint32_t GpioCommunities::PadStoreMask(const Register &reg, uint64_t address,
                                       uint32_t value) {
  const bool dw0 = reg.role == Role::Dw0;
  const facts::GpioPad place = facts::PadOfCode(reg.pad);
  const std::string what = std::string(dw0 ? "DW0" : "DW1") + " store " +
                           Hex(value) + " to " + Hex(address) + " (group " +
                           std::to_string(place.group) + " pad " +
                           std::to_string(place.number) + ")";
  const facts::RegisterBits owner =
      facts::PadOwnership(GroupOf(reg.pad), place.number);
  if ((registers_.at(owner.address).value & owner.mask) != 0) {
    notes_.push_back(what + " refused: the host does not own the pad");
    return 0;
  }
  uint32_t writable = dw0 ? ~facts::kDw0RxState : 0xFFFFFFFF;
  const uint32_t changed = (reg.value ^ value) & writable;
  if (TestBit(LockBit(reg.pad, false))) {
    writable &= dw0 ? facts::kDw0TxState : 0;
    if ((changed & ~writable) != 0) {
      notes_.push_back(what +
                       " kept its locked configuration bits: the pad is "
                       "configuration-locked");
    }
  }
  // A TX state kept under its lock is no fault: the firmware stores it when
  // lifting the lock failed.
  if (dw0 && TestBit(LockBit(reg.pad, true))) {
    writable &= ~facts::kDw0TxState;
  }
  return writable;
}

bool GpioCommunities::SidebandWrite(uint8_t port, uint32_t offset,
                                    uint32_t value) {
  if (offset > 0xFFFF) {
    return false;
  }
  auto found = registers_.find(
      facts::PrivateRegister(port, static_cast<uint16_t>(offset)));
  if (found == registers_.end() || (found->second.role != Role::Lock &&
                                    found->second.role != Role::LockTx)) {
    return false;
  }
  found->second.value = value;
  return true;
}

void GpioCommunities::Override(uint64_t address, uint32_t value) {
  registers_.try_emplace(address, Register{0, Role::Loaded, 0})
      .first->second.value = value;
}

void GpioCommunities::ForEachRegister(
    const std::function<void(uint64_t address, uint32_t value)> &visit) const {
  for (const auto &[address, reg] : registers_) {
    visit(address, reg.value);
  }
}

const facts::GpioGroup &GpioCommunities::GroupOf(facts::PadCode pad) const {
  const facts::GpioPad place = facts::PadOfCode(pad);
  if (place.group >= layout_.count ||
      place.number >= layout_[place.group].pads) {
    throw std::out_of_range("no pad " + Hex(pad) + " in this layout");
  }
  return layout_[place.group];
}

facts::RegisterBits GpioCommunities::LockBit(facts::PadCode pad,
                                             bool tx) const {
  const facts::GpioGroup &group = GroupOf(pad);
  const uint16_t number = facts::PadOfCode(pad).number;
  return tx ? facts::PadLockTx(group, number) : facts::PadLock(group, number);
}

uint64_t GpioCommunities::Dw0Address(facts::PadCode pad) const {
  return facts::PadDw0(GroupOf(pad), facts::PadOfCode(pad).number);
}

void GpioCommunities::SetBits(const facts::RegisterBits &bits, uint32_t field) {
  uint32_t &value = registers_.at(bits.address).value;
  value = (value & ~bits.mask) | ((field << bits.shift) & bits.mask);
}

bool GpioCommunities::TestBit(const facts::RegisterBits &bit) const {
  return (registers_.at(bit.address).value & bit.mask) != 0;
}

void GpioCommunities::SetOwnership(facts::PadCode pad, uint8_t owner) {
  SetBits(facts::PadOwnership(GroupOf(pad), facts::PadOfCode(pad).number),
          owner);
}

void GpioCommunities::SetRxLevel(facts::PadCode pad, bool high) {
  SetBits(facts::PadRxState(GroupOf(pad), facts::PadOfCode(pad).number),
          high ? 1 : 0);
}

void GpioCommunities::SetDw0(facts::PadCode pad, uint32_t value) {
  registers_.at(Dw0Address(pad)).value = value;
}

void GpioCommunities::SetTxLock(facts::PadCode pad, bool locked) {
  SetBits(LockBit(pad, true), locked ? 1 : 0);
}

void GpioCommunities::SetConfigLock(facts::PadCode pad, bool locked) {
  SetBits(LockBit(pad, false), locked ? 1 : 0);
}

uint32_t GpioCommunities::Dw0(facts::PadCode pad) const {
  return registers_.at(Dw0Address(pad)).value;
}

bool GpioCommunities::TxLocked(facts::PadCode pad) const {
  return TestBit(LockBit(pad, true));
}

bool GpioCommunities::ConfigLocked(facts::PadCode pad) const {
  return TestBit(LockBit(pad, false));
}

}  // namespace sim
