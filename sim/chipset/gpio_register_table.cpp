#include "sim/chipset/gpio_register_table.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "sim/hex_text.h"

namespace sim {

const GpioRegisterTable &GpioRegisterTable::Of(
    const facts::GpioLayout &layout) {
  static std::vector<std::unique_ptr<const GpioRegisterTable>> built;
  for (const auto &table : built) {
    if (table->layout_.groups == layout.groups &&
        table->layout_.count == layout.count &&
        table->layout_.chipsetId == layout.chipsetId) {
      return *table;
    }
  }
  built.push_back(std::make_unique<const GpioRegisterTable>(layout));
  return *built.back();
}

GpioRegisterTable::GpioRegisterTable(const facts::GpioLayout &layout)
    : layout_(layout) {
  for (uint32_t index = 0; index < layout.count; ++index) {
    const facts::GpioGroup &group = layout[index];
    for (uint32_t i = 0; i < facts::OwnershipRegisterCount(group); ++i) {
      Define(
          facts::GroupRegister(group, group.own + i * facts::kOwnershipStride),
          GpioRole::Ownership);
    }
    const uint32_t blocks = facts::PadBitRegisterCount(group);
    for (uint16_t field :
         {group.hostSw, group.intSts, group.intEn, group.gpeSts, group.gpeEn,
          group.smiSts, group.smiEn, group.nmiSts, group.nmiEn}) {
      for (uint32_t i = 0; field != facts::kNoRegister && i < blocks; ++i) {
        Define(facts::GroupRegister(group, field + i * facts::kPadBitStride),
               GpioRole::Plain);
      }
    }
    for (uint16_t number = 0; number < group.pads; number += 32) {
      Define(facts::PadLock(group, number).address, GpioRole::Lock);
      Define(facts::PadLockTx(group, number).address, GpioRole::LockTx);
    }
    for (uint16_t number = 0; number < group.pads; ++number) {
      const uint64_t dw0 = facts::PadDw0(group, number);
      Define(dw0, GpioRole::Dw0, index << 16 | number);
      Define(dw0 + 4, GpioRole::Dw1, index << 16 | number);
    }
  }
  std::sort(
      entries_.begin(), entries_.end(),
      [](const Entry &a, const Entry &b) { return a.address < b.address; });
  for (size_t i = 1; i < entries_.size(); ++i) {
    if (entries_[i].address == entries_[i - 1].address) {
      throw std::logic_error("GPIO layout defines " + Hex(entries_[i].address) +
                             " twice");
    }
  }
  if (entries_.empty()) {
    return;
  }
  if (entries_.size() >= UINT16_MAX) {
    throw std::logic_error("GPIO layout too large to index");
  }
  const uint64_t first = entries_.front().address;
  indexByDword_.assign((entries_.back().address - first) / 4 + 1, 0);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].address % 4 != 0) {
      throw std::logic_error("GPIO register " + Hex(entries_[i].address) +
                             " is not dword-aligned");
    }
    indexByDword_[(entries_[i].address - first) / 4] =
        static_cast<uint16_t>(i + 1);
  }
}

void GpioRegisterTable::Define(uint64_t address, GpioRole role,
                               facts::PadCode pad) {
  entries_.push_back(Entry{address, role, pad});
}

std::optional<size_t> GpioRegisterTable::Find(uint64_t address) const {
  if (entries_.empty() || address < entries_.front().address ||
      address % 4 != 0) {
    return std::nullopt;
  }
  const uint64_t dword = (address - entries_.front().address) / 4;
  if (dword >= indexByDword_.size() || indexByDword_[dword] == 0) {
    return std::nullopt;
  }
  return indexByDword_[dword] - 1U;
}

}  // namespace sim
