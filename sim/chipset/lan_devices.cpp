#include "sim/chipset/lan_devices.h"

#include <algorithm>

#include "sim/facts/board.h"

namespace sim {

namespace {

constexpr uint16_t kMemorySpaceEnable = 1U << 1;

void DefineHeader(PciFunction &function, uint32_t ids, uint32_t classRevision,
                  uint8_t headerType) {
  function.Define(facts::kPciIdsOffset, 4, ids);
  function.Define(facts::kPciCommandOffset, 2, 0, 0x0547);
  function.Define(0x06, 2, 0x0010);
  function.Define(0x08, 4, classRevision);
  function.Define(0x0C, 4, static_cast<uint32_t>(headerType) << 16, 0xFF);
}

}  // namespace

void LanDevices::AddBridge(uint16_t bridge, uint8_t subordinateBus) {
  PciFunction &function = pci_.Add(bridge);
  DefineHeader(function, facts::kBridgeIds, 0x06040000, 0x01);
  const uint32_t buses = static_cast<uint32_t>(bridge >> 8) |
                         static_cast<uint32_t>(subordinateBus) << 8 |
                         static_cast<uint32_t>(subordinateBus) << 16;
  function.Define(facts::kBridgeBusNumbersOffset, 4, buses, 0x00FFFFFF);
  if (pci_.Find(static_cast<uint16_t>(subordinateBus << 8)) == nullptr) {
    SetDeviceBehind(subordinateBus, DeviceKind::None, {}, 0);
  }
}

void LanDevices::SetDeviceBehind(uint8_t bus, DeviceKind kind,
                                 const MacAddress &mac, uint32_t bar0) {
  const auto address = static_cast<uint16_t>(bus << 8);
  PciFunction &function = pci_.Add(address);
  controllers_.erase(bus);
  if (kind == DeviceKind::None) {
    function.SetPresent(false);
    return;
  }
  const bool i210 = kind == DeviceKind::I210;
  DefineHeader(function, i210 ? facts::kI210Ids : facts::kOtherEthernetIds,
               0x02000003, 0x00);
  function.Define(facts::kPciBar0Offset, 4, bar0, ~(facts::kLanMemorySize - 1));
  Controller &controller = controllers_[bus];
  controller.function = address;
  if (i210) {
    for (uint32_t i = 0; i < mac.size(); ++i) {
      controller.registers[facts::kReceiveAddressOffset + i] = mac[i];
    }
    controller.registers[facts::kReceiveAddressOffset + 6] = 0;
    controller.registers[facts::kReceiveAddressOffset + 7] =
        0x80;  // address valid
  }
}

bool LanDevices::Decodes(const Controller &controller) const {
  const PciFunction *function = pci_.Find(controller.function);
  return function != nullptr &&
         (function->Get(facts::kPciCommandOffset, 2) & kMemorySpaceEnable) != 0;
}

std::optional<LanDevices::Hit> LanDevices::Find(uint64_t address) const {
  for (const auto &[bus, controller] : controllers_) {
    const PciFunction *function = pci_.Find(controller.function);
    const uint64_t base = function->Get(facts::kPciBar0Offset, 4) & ~0xFULL;
    if (address >= base && address < base + facts::kLanMemorySize) {
      return Hit{&controller, static_cast<uint32_t>(address - base)};
    }
  }
  return std::nullopt;
}

void LanDevices::ForEachMemoryByte(
    const std::function<void(uint64_t address, uint8_t value)> &visit) const {
  for (const auto &[bus, controller] : controllers_) {
    const uint64_t base =
        pci_.Find(controller.function)->Get(facts::kPciBar0Offset, 4) & ~0xFULL;
    for (const auto &[offset, value] : controller.registers) {
      visit(base + offset, value);
    }
  }
}

bool LanDevices::Claims(uint64_t address) const {
  return Find(address).has_value();
}

bool LanDevices::Decodes(uint64_t address) const {
  const std::optional<Hit> hit = Find(address);
  return hit && Decodes(*hit->controller);
}

std::optional<uint32_t> LanDevices::ReadMemory(uint64_t address,
                                               uint8_t width) const {
  const std::optional<Hit> hit = Find(address);
  if (!hit || !Decodes(*hit->controller)) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (uint32_t i = 0; i < width / 8U; ++i) {
    const uint8_t *byte = hit->controller->registers.Find(hit->offset + i);
    if (byte == nullptr) {
      return std::nullopt;
    }
    value |= static_cast<uint32_t>(*byte) << (8 * i);
  }
  return value;
}

bool LanDevices::WriteMemory(uint64_t address, uint8_t width, uint32_t value) {
  const std::optional<Hit> hit = Find(address);
  if (!hit || !Decodes(*hit->controller) ||
      ReadMemory(address, width) == std::nullopt) {
    return false;
  }
  return Override(address, width, value);
}

bool LanDevices::Override(uint64_t address, uint8_t width, uint32_t value) {
  const std::optional<Hit> hit = Find(address);
  if (!hit) {
    return false;
  }
  auto &registers = controllers_.at(hit->controller->function >> 8).registers;
  for (uint32_t i = 0; i < width / 8U; ++i) {
    registers[hit->offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return true;
}

uint8_t &LanDevices::RegisterBytes::operator[](uint32_t offset) {
  auto place = std::lower_bound(
      bytes_.begin(), bytes_.end(), offset,
      [](const auto &byte, uint32_t key) { return byte.first < key; });
  if (place == bytes_.end() || place->first != offset) {
    place = bytes_.insert(place, {offset, 0});
  }
  return place->second;
}

const uint8_t *LanDevices::RegisterBytes::Find(uint32_t offset) const {
  auto place = std::lower_bound(
      bytes_.begin(), bytes_.end(), offset,
      [](const auto &byte, uint32_t key) { return byte.first < key; });
  return place == bytes_.end() || place->first != offset ? nullptr
                                                         : &place->second;
}

}  // namespace sim
