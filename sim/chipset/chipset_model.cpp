#include "sim/chipset/chipset_model.h"

#include <stdexcept>
#include <utility>

#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

namespace {

uint32_t AllOnes(uint8_t width) {
  return width == 32 ? 0xFFFFFFFFU : (1U << width) - 1;
}

}  // namespace

ChipsetModel::ChipsetModel(Sequence &sequence)
    : p2sb_(pci_.Add(facts::kP2sbFunction), gpio_, notes_), trace_(sequence) {
  PciFunction &lpc = pci_.Add(facts::kLpcFunction);
  lpc.Define(0x00, 2, facts::kIntelVendorId);
  lpc.Define(facts::kLpcDeviceIdOffset, 2, facts::kDefaultLpcDeviceId);
}

uint32_t ChipsetModel::Read(uint64_t address, uint8_t width) {
  if (lastRead_ && lastRead_->address == address && lastRead_->width == width &&
      lastRead_->repeatsLeft != 0 && trace_.RepeatLastRead(width, address)) {
    --lastRead_->repeatsLeft;
    if (lastRead_->countsForP2sb) {
      p2sb_.CountRepeatedStatusRead();
    }
    return lastRead_->value;
  }
  return LookUpAndRead(address, width);
}

uint32_t ChipsetModel::LookUpAndRead(uint64_t address, uint8_t width) {
  const bool statusRead = !readsZero_ && address <= facts::kP2sbStatus &&
                          facts::kP2sbStatus < address + width / 8 &&
                          !lan_.Decodes(address);
  if (statusRead) {
    p2sb_.BeforeStatusRead();
  }
  const std::optional<uint32_t> value = Lookup(address, width);
  if (readSource_) {
    // Never remembered as the last read: the next read asks afresh.
    if (const std::optional<uint32_t> fresh = readSource_(address, width)) {
      const uint32_t result = *fresh & AllOnes(width);
      trace_.Record(AccessOp::Read, width, address, result, value.has_value());
      return result;
    }
  }
  const uint32_t result =
      value ? *value : (readsZero_ && InWindows(address) ? 0 : AllOnes(width));
  trace_.Record(AccessOp::Read, width, address, result, value.has_value());
  if (!readSource_) {
    lastRead_ = LastRead{address, width, result,
                         statusRead ? p2sb_.StatusReadsUnchanged() : UINT64_MAX,
                         statusRead && p2sb_.CountsStatusReads()};
  }
  return result;
}

void ChipsetModel::Write(uint64_t address, uint8_t width, uint32_t value) {
  const bool implemented = Store(address, width, value);
  trace_.Record(AccessOp::Write, width, address, value, implemented);
}

bool ChipsetModel::ReadDeviceByte(uint64_t address, uint8_t *out) {
  if (!lan_.Decodes(address)) {
    return false;
  }
  *out = static_cast<uint8_t>(Read(address, 8));
  return true;
}

bool ChipsetModel::InWindows(uint64_t address) const {
  return PciConfigSpace::Contains(address) ||
         GpioCommunities::Contains(address);
}

std::optional<uint32_t> ChipsetModel::Lookup(uint64_t address,
                                             uint8_t width) const {
  if (readsZero_ && InWindows(address)) {
    return std::nullopt;
  }
  // A decoding controller answers its BAR0 range ahead of the window it
  // lies in.
  if (lan_.Decodes(address)) {
    return lan_.ReadMemory(address, width);
  }
  if (PciConfigSpace::Contains(address)) {
    return pci_.Read(address, width);
  }
  if (GpioCommunities::Contains(address)) {
    return width == 32 ? gpio_.Read(address) : std::nullopt;
  }
  return lan_.ReadMemory(address, width);
}

bool ChipsetModel::Store(uint64_t address, uint8_t width, uint32_t value) {
  if (readsZero_ && InWindows(address)) {
    return false;
  }
  if (lan_.Decodes(address)) {
    return lan_.WriteMemory(address, width, value);
  }
  if (PciConfigSpace::Contains(address)) {
    return pci_.Write(address, width, value);
  }
  if (GpioCommunities::Contains(address)) {
    return width == 32 && gpio_.Write(address, value);
  }
  return lan_.WriteMemory(address, width, value);
}

void ChipsetModel::LayOutGpio() {
  const auto id = static_cast<uint16_t>(
      pci_.Find(facts::kLpcFunction)->Get(facts::kLpcDeviceIdOffset, 2));
  gpio_.LayOut(facts::LayoutOf(facts::SeriesOfLpcDeviceId(id)));
}

void ChipsetModel::SetLpcDeviceId(uint16_t id) {
  pci_.Find(facts::kLpcFunction)->Set(facts::kLpcDeviceIdOffset, 2, id);
  LayOutGpio();
  Changed();
}

void ChipsetModel::SetPadOwnership(facts::PadCode pad, uint8_t owner) {
  gpio_.SetOwnership(pad, owner);
  Changed();
}

void ChipsetModel::SetPadRxLevel(facts::PadCode pad, bool high) {
  gpio_.SetRxLevel(pad, high);
  Changed();
}

void ChipsetModel::SetPadDw0(facts::PadCode pad, uint32_t value) {
  gpio_.SetDw0(pad, value);
  Changed();
}

void ChipsetModel::SetPadTxLock(facts::PadCode pad, bool locked) {
  gpio_.SetTxLock(pad, locked);
  Changed();
}

void ChipsetModel::SetPadConfigLock(facts::PadCode pad, bool locked) {
  gpio_.SetConfigLock(pad, locked);
  Changed();
}

void ChipsetModel::SetP2sbState(P2sbState state, uint8_t completion) {
  p2sb_.SetState(state, completion);
  Changed();
}

void ChipsetModel::SetP2sbBusyReads(uint32_t reads) {
  p2sb_.SetBusyReads(reads);
  Changed();
}

void ChipsetModel::AddBridge(facts::PciFunctionAddress bridge,
                             uint8_t subordinateBus) {
  lan_.AddBridge(bridge, subordinateBus);
  Changed();
}

void ChipsetModel::SetDeviceBehind(uint8_t bus, DeviceKind kind,
                                   const MacAddress &mac, uint32_t bar0) {
  lan_.SetDeviceBehind(bus, kind, mac, bar0);
  Changed();
}

void ChipsetModel::OverrideRegister(uint64_t address, uint32_t value,
                                    uint8_t width) {
  Changed();
  if (lan_.Claims(address)) {
    lan_.Override(address, width, value);
    return;
  }
  if (PciConfigSpace::Contains(address)) {
    const uint16_t function = PciConfigSpace::FunctionOf(address);
    PciFunction *target = pci_.Find(function);
    if (target == nullptr) {
      target = &pci_.Add(function);
    }
    const uint16_t offset = PciConfigSpace::OffsetOf(address);
    target->Set(offset, width / 8, value);
    const bool coversDeviceId = offset < facts::kLpcDeviceIdOffset + 2 &&
                                offset + width / 8 > facts::kLpcDeviceIdOffset;
    if (function == facts::kLpcFunction && coversDeviceId) {
      LayOutGpio();
    }
    return;
  }
  if (GpioCommunities::Contains(address)) {
    if (width != 32) {
      throw std::invalid_argument("private registers are 32-bit");
    }
    gpio_.Override(address, value);
    return;
  }
  if (!lan_.Override(address, width, value)) {
    throw std::invalid_argument("no modelled register at the address");
  }
}

void ChipsetModel::SetReadsZeroEverywhere(bool on) {
  readsZero_ = on;
  Changed();
}

void ChipsetModel::SetReadSource(ReadSource source) {
  readSource_ = std::move(source);
  Changed();
}

uint32_t ChipsetModel::PadDw0(facts::PadCode pad) const {
  return gpio_.Dw0(pad);
}

bool ChipsetModel::PadTxLocked(facts::PadCode pad) const {
  return gpio_.TxLocked(pad);
}

bool ChipsetModel::PadConfigLocked(facts::PadCode pad) const {
  return gpio_.ConfigLocked(pad);
}

std::optional<uint32_t> ChipsetModel::Peek(uint64_t address,
                                           uint8_t width) const {
  if (lan_.Claims(address)) {
    return lan_.ReadMemory(address, width);
  }
  if (PciConfigSpace::Contains(address)) {
    const PciFunction *function =
        pci_.Find(PciConfigSpace::FunctionOf(address));
    return function == nullptr
               ? std::nullopt
               : function->Read(PciConfigSpace::OffsetOf(address), width);
  }
  if (GpioCommunities::Contains(address)) {
    return gpio_.Read(address);
  }
  return lan_.ReadMemory(address, width);
}

void ChipsetModel::ForEachRegister(
    const std::function<void(uint64_t address, uint8_t width, uint32_t value)>
        &visit) const {
  pci_.ForEachFunction([&](uint16_t code, const PciFunction &function) {
    const uint64_t base = facts::PciRegister(code, 0);
    function.ForEachByte([&](uint16_t offset, uint8_t value) {
      visit(base + offset, 8, value);
    });
  });
  gpio_.ForEachRegister(
      [&](uint64_t address, uint32_t value) { visit(address, 32, value); });
  lan_.ForEachMemoryByte(
      [&](uint64_t address, uint8_t value) { visit(address, 8, value); });
}

std::vector<std::string> ChipsetModel::Flags() const {
  std::vector<std::string> flags = notes_;
  for (const Access &access : trace_.Unimplemented()) {
    flags.push_back(Describe(access));
  }
  return flags;
}

}  // namespace sim
