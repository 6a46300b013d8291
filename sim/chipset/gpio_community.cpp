#include "sim/chipset/gpio_community.h"

#include <cstdio>
#include <stdexcept>

#include "gpio/group_tables.h"
#include "platform/register_access.h"

namespace sim {

namespace {

constexpr uint32_t kTxState = 1U << 0;
constexpr uint32_t kRxState = 1U << 1;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX",
                static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

GpioCommunities::GpioCommunities(std::vector<std::string> &notes)
    : notes_(notes) {
  LayOut(false);
}

void GpioCommunities::LayOut(bool lp) {
  std::unordered_map<uint64_t, Register> previous;
  previous.swap(registers_);
  table_ = lp ? kGpioGroupsLp : kGpioGroupsH;
  groupCount_ = lp ? kGpioGroupCountLp : kGpioGroupCountH;
  for (uint32_t index = 0; index < groupCount_; ++index) {
    const GpioGroupRecord &rec = table_[index];
    const uint32_t blocks = (rec.Pads + 31U) / 32;
    for (uint32_t i = 0; i < (rec.Pads + 7U) / 8; ++i) {
      Define(rec.Port, rec.Own + i * 4, Role::Ownership);
    }
    for (uint16_t field :
         {rec.HostSw, rec.IntSts, rec.IntEn, rec.GpeSts, rec.GpeEn, rec.SmiSts,
          rec.SmiEn, rec.NmiSts, rec.NmiEn}) {
      for (uint32_t i = 0; field != kNoRegister && i < blocks; ++i) {
        Define(rec.Port, field + i * 4, Role::Plain);
      }
    }
    for (uint32_t i = 0; i < blocks; ++i) {
      Define(rec.Port, rec.Lock + i * 8, Role::Lock);
      Define(rec.Port, rec.LockTx + i * 8, Role::LockTx);
    }
    for (uint32_t pad = 0; pad < rec.Pads; ++pad) {
      Define(rec.Port, rec.PadCfg + pad * 16, Role::Dw0, index << 16 | pad);
      Define(rec.Port, rec.PadCfg + pad * 16 + 4, Role::Plain);
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

void GpioCommunities::Define(uint8_t port, uint32_t offset, Role role,
                             PadCode pad) {
  const uint64_t address = PrivateRegisterAddress(port, offset);
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
    case Role::Dw0: {
      uint32_t writable = ~kRxState;
      if (TestBit(LockBit(reg.pad, false))) {
        writable &= kTxState;
      }
      if (TestBit(LockBit(reg.pad, true))) {
        writable &= ~kTxState;
      }
      reg.value = (reg.value & ~writable) | (value & writable);
      break;
    }
  }
  return true;
}

bool GpioCommunities::SidebandWrite(uint8_t port, uint32_t offset,
                                    uint32_t value) {
  if (offset > 0xFFFF) {
    return false;
  }
  auto found = registers_.find(PrivateRegisterAddress(port, offset));
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

const GpioGroupRecord &GpioCommunities::GroupOf(PadCode pad) const {
  const uint32_t group = (pad >> 16) & 0xFF;
  if (group >= groupCount_ || (pad & 0xFFFF) >= table_[group].Pads) {
    throw std::out_of_range("no pad " + Hex(pad) + " in this layout");
  }
  return table_[group];
}

GpioCommunities::PadBit GpioCommunities::LockBit(PadCode pad, bool tx) const {
  const GpioGroupRecord &rec = GroupOf(pad);
  const uint32_t number = pad & 0xFFFF;
  const uint32_t offset = (tx ? rec.LockTx : rec.Lock) + (number >> 5) * 8;
  return {PrivateRegisterAddress(rec.Port, offset), 1U << (number & 31)};
}

uint64_t GpioCommunities::Dw0Address(PadCode pad) const {
  const GpioGroupRecord &rec = GroupOf(pad);
  return PrivateRegisterAddress(rec.Port, rec.PadCfg + (pad & 0xFFFF) * 16);
}

void GpioCommunities::SetBit(const PadBit &bit, bool set) {
  uint32_t &value = registers_.at(bit.address).value;
  value = set ? value | bit.mask : value & ~bit.mask;
}

bool GpioCommunities::TestBit(const PadBit &bit) const {
  return (registers_.at(bit.address).value & bit.mask) != 0;
}

void GpioCommunities::SetOwnership(PadCode pad, uint8_t owner) {
  const GpioGroupRecord &rec = GroupOf(pad);
  const uint32_t number = pad & 0xFFFF;
  const uint32_t shift = (number & 7) * 4;
  uint32_t &value =
      registers_
          .at(PrivateRegisterAddress(rec.Port, rec.Own + (number >> 3) * 4))
          .value;
  value =
      (value & ~(3U << shift)) | (static_cast<uint32_t>(owner & 3) << shift);
}

void GpioCommunities::SetRxLevel(PadCode pad, bool high) {
  SetBit({Dw0Address(pad), kRxState}, high);
}

void GpioCommunities::SetDw0(PadCode pad, uint32_t value) {
  registers_.at(Dw0Address(pad)).value = value;
}

void GpioCommunities::SetTxLock(PadCode pad, bool locked) {
  SetBit(LockBit(pad, true), locked);
}

void GpioCommunities::SetConfigLock(PadCode pad, bool locked) {
  SetBit(LockBit(pad, false), locked);
}

uint32_t GpioCommunities::Dw0(PadCode pad) const {
  return registers_.at(Dw0Address(pad)).value;
}

bool GpioCommunities::TxLocked(PadCode pad) const {
  return TestBit(LockBit(pad, true));
}

bool GpioCommunities::ConfigLocked(PadCode pad) const {
  return TestBit(LockBit(pad, false));
}

}  // namespace sim
