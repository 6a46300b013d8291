#include "sim/chipset/gpio_community.h"

#include <stdexcept>

#include "sim/hex_text.h"

namespace sim {

GpioCommunities::GpioCommunities(std::vector<std::string> &notes)
    : notes_(notes) {
  LayOut(facts::kGpioLayoutH);
}

void GpioCommunities::LayOut(const facts::GpioLayout &layout) {
  const GpioRegisterTable &table = GpioRegisterTable::Of(layout);
  if (&table == table_) {
    return;
  }
  std::vector<uint32_t> values(table.Size(), 0);
  // Both tables run by address: one pass finds the addresses they share.
  size_t old = 0;
  for (size_t i = 0; i < table.Size(); ++i) {
    const uint64_t address = table.Entries()[i].address;
    if (table_ != nullptr) {
      while (old < table_->Size() && table_->Entries()[old].address < address) {
        ++old;
      }
      if (old < table_->Size() && table_->Entries()[old].address == address) {
        values[i] = values_[old];
        continue;
      }
    }
    auto loaded = loaded_.find(address);
    if (loaded != loaded_.end()) {
      values[i] = loaded->second;
      loaded_.erase(loaded);
    }
  }
  table_ = &table;
  values_.swap(values);
}

std::optional<uint32_t> GpioCommunities::Read(uint64_t address) const {
  if (const std::optional<size_t> index = table_->Find(address)) {
    return values_[*index];
  }
  auto loaded = loaded_.find(address);
  if (loaded == loaded_.end()) {
    return std::nullopt;
  }
  return loaded->second;
}

bool GpioCommunities::Write(uint64_t address, uint32_t value) {
  const std::optional<size_t> index = table_->Find(address);
  if (!index) {
    auto loaded = loaded_.find(address);
    if (loaded == loaded_.end()) {
      return false;
    }
    loaded->second = value;
    return true;
  }
  const GpioRegisterTable::Entry &reg = table_->Entries()[*index];
  uint32_t &stored = values_[*index];
  switch (reg.role) {
    case GpioRole::Plain:
      stored = value;
      break;
    case GpioRole::Ownership:
      notes_.push_back("plain store to read-only ownership register " +
                       Hex(address) + " ignored");
      break;
    case GpioRole::Lock:
    case GpioRole::LockTx:
      notes_.push_back("plain store to lock register " + Hex(address) +
                       " ignored: lock registers change only by sideband");
      break;
    case GpioRole::Dw0:
    case GpioRole::Dw1: {
      const uint32_t writable = PadStoreMask(reg, stored, value);
      stored = (stored & ~writable) | (value & writable);
      break;
    }
  }
  return true;
}

uint32_t GpioCommunities::PadStoreMask(const GpioRegisterTable::Entry &reg,
                                       uint32_t current, uint32_t value) {
  const bool dw0 = reg.role == GpioRole::Dw0;
  const facts::GpioPad place = facts::PadOfCode(reg.pad);
  // Only for a note: most stores make none.
  auto what = [&] {
    return std::string(dw0 ? "DW0" : "DW1") + " store " + Hex(value) + " to " +
           Hex(reg.address) + " (group " + std::to_string(place.group) +
           " pad " + std::to_string(place.number) + ")";
  };
  const facts::RegisterBits owner =
      facts::PadOwnership(GroupOf(reg.pad), place.number);
  if ((Value(owner.address) & owner.mask) != 0) {
    notes_.push_back(what() + " refused: the host does not own the pad");
    return 0;
  }
  uint32_t writable = dw0 ? ~facts::kDw0RxState : 0xFFFFFFFF;
  const uint32_t changed = (current ^ value) & writable;
  if (TestBit(LockBit(reg.pad, false))) {
    writable &= dw0 ? facts::kDw0TxState : 0;
    if ((changed & ~writable) != 0) {
      notes_.push_back(what() +
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
  const std::optional<size_t> index =
      table_->Find(facts::PrivateRegister(port, static_cast<uint16_t>(offset)));
  if (!index || (table_->Entries()[*index].role != GpioRole::Lock &&
                 table_->Entries()[*index].role != GpioRole::LockTx)) {
    return false;
  }
  values_[*index] = value;
  return true;
}

void GpioCommunities::Override(uint64_t address, uint32_t value) {
  if (const std::optional<size_t> index = table_->Find(address)) {
    values_[*index] = value;
  } else {
    loaded_[address] = value;
  }
}

void GpioCommunities::ForEachRegister(
    const std::function<void(uint64_t address, uint32_t value)> &visit) const {
  for (size_t i = 0; i < table_->Size(); ++i) {
    visit(table_->Entries()[i].address, values_[i]);
  }
  for (const auto &[address, value] : loaded_) {
    visit(address, value);
  }
}

uint32_t &GpioCommunities::Value(uint64_t address) {
  const std::optional<size_t> index = table_->Find(address);
  if (!index) {
    throw std::out_of_range("no GPIO register at " + Hex(address));
  }
  return values_[*index];
}

uint32_t GpioCommunities::Value(uint64_t address) const {
  const std::optional<size_t> index = table_->Find(address);
  if (!index) {
    throw std::out_of_range("no GPIO register at " + Hex(address));
  }
  return values_[*index];
}

const facts::GpioGroup &GpioCommunities::GroupOf(facts::PadCode pad) const {
  const facts::GpioLayout &layout = table_->Layout();
  const facts::GpioPad place = facts::PadOfCode(pad);
  if (place.group >= layout.count || place.number >= layout[place.group].pads) {
    throw std::out_of_range("no pad " + Hex(pad) + " in this layout");
  }
  return layout[place.group];
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
  uint32_t &value = Value(bits.address);
  value = (value & ~bits.mask) | ((field << bits.shift) & bits.mask);
}

bool GpioCommunities::TestBit(const facts::RegisterBits &bit) const {
  return (Value(bit.address) & bit.mask) != 0;
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
  Value(Dw0Address(pad)) = value;
}

void GpioCommunities::SetTxLock(facts::PadCode pad, bool locked) {
  SetBits(LockBit(pad, true), locked ? 1 : 0);
}

void GpioCommunities::SetConfigLock(facts::PadCode pad, bool locked) {
  SetBits(LockBit(pad, false), locked ? 1 : 0);
}

uint32_t GpioCommunities::Dw0(facts::PadCode pad) const {
  return Value(Dw0Address(pad));
}

bool GpioCommunities::TxLocked(facts::PadCode pad) const {
  return TestBit(LockBit(pad, true));
}

bool GpioCommunities::ConfigLocked(facts::PadCode pad) const {
  return TestBit(LockBit(pad, false));
}

}  // namespace sim
