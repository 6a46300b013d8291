#include "sim/chipset/register_names.h"

#include <cstdio>

#include "sim/facts/board.h"

namespace sim {

namespace {

std::string Numbered(const std::string &name, uint32_t index) {
  return name + "[" + std::to_string(index) + "]";
}

std::string PciName(uint64_t address) {
  struct Named {
    uint64_t address;
    const char *name;
  };
  static constexpr Named kFixed[] = {
      {facts::kLpcDeviceId, "LPC device ID"},
      {facts::kP2sbVendorId, "P2SB vendor ID"},
      {facts::kP2sbAddress, "P2SB address"},
      {facts::kP2sbData, "P2SB data"},
      {facts::kP2sbStatus, "P2SB status"},
      {facts::kP2sbRouting, "P2SB routing"},
      {facts::kP2sbExtendedAddress, "P2SB extended address"}};
  for (const Named &fixed : kFixed) {
    if (fixed.address == address) {
      return fixed.name;
    }
  }
  const auto offset = static_cast<uint16_t>(address & 0xFFF);
  const auto function = static_cast<facts::PciFunctionAddress>(
      (address - facts::kPciWindowBase) >> 12);
  for (uint32_t i = 0; i < 2; ++i) {
    const facts::LanPort &port = facts::kLanPorts[i];
    const std::string lan = "LAN port " + std::to_string(i + 1);
    if (function == port.bridge &&
        offset == facts::kBridgeSubordinateBusOffset) {
      return lan + " bridge subordinate bus";
    }
    if (function == facts::PciFunction(port.bus, 0, 0)) {
      switch (offset) {
        case facts::kPciIdsOffset:
          return lan + " IDs";
        case facts::kPciCommandOffset:
          return lan + " command";
        case facts::kPciBar0Offset:
          return lan + " BAR0";
        default:
          break;
      }
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%02X:%02X.%X +0x%03X", function >> 8,
                (function >> 3) & 0x1F, function & 7, offset);
  return text;
}

// A register of n successive ones, stride bytes apart, from first.
bool InRun(uint32_t offset, uint32_t first, uint32_t count, uint32_t stride,
           uint32_t &index) {
  if (first == facts::kNoRegister || offset < first ||
      offset >= first + count * stride || (offset - first) % stride != 0) {
    return false;
  }
  index = (offset - first) / stride;
  return true;
}

std::string GpioName(uint64_t address, facts::Series series) {
  const auto port = static_cast<uint8_t>(address >> 16);
  const auto offset = static_cast<uint32_t>(address & 0xFFFF);
  for (const facts::GpioGroup &group : facts::LayoutOf(series)) {
    if (group.port != port) {
      continue;
    }
    const std::string name = group.name;
    if (offset >= group.padCfg &&
        offset <
            group.padCfg + uint32_t{group.pads} * facts::kPadConfigStride) {
      const uint32_t pad = (offset - group.padCfg) / facts::kPadConfigStride;
      const uint32_t dword =
          (offset - group.padCfg) % facts::kPadConfigStride / 4;
      return name + std::to_string(pad) + " DW" + std::to_string(dword);
    }
    uint32_t index = 0;
    if (InRun(offset, group.own, facts::OwnershipRegisterCount(group),
              facts::kOwnershipStride, index)) {
      return Numbered(name + " own", index);
    }
    const struct {
      uint32_t first;
      const char *kind;
      uint32_t stride;
    } runs[] = {{group.hostSw, "host software own", facts::kPadBitStride},
                {group.intSts, "interrupt status", facts::kPadBitStride},
                {group.intEn, "interrupt enable", facts::kPadBitStride},
                {group.gpeSts, "GPE status", facts::kPadBitStride},
                {group.gpeEn, "GPE enable", facts::kPadBitStride},
                {group.smiSts, "SMI status", facts::kPadBitStride},
                {group.smiEn, "SMI enable", facts::kPadBitStride},
                {group.nmiSts, "NMI status", facts::kPadBitStride},
                {group.nmiEn, "NMI enable", facts::kPadBitStride},
                {group.lock, "lock", facts::kLockStride},
                {group.lockTx, "lock tx", facts::kLockStride}};
    for (const auto &run : runs) {
      if (InRun(offset, run.first, facts::PadBitRegisterCount(group),
                run.stride, index)) {
        return Numbered(name + " " + run.kind, index);
      }
    }
  }
  return "";
}

std::string LanMemoryName(uint64_t address) {
  for (uint32_t i = 0; i < 2; ++i) {
    const facts::LanPort &port = facts::kLanPorts[i];
    const std::string lan = "LAN port " + std::to_string(i + 1);
    if (address >= port.bar0 + facts::kReceiveAddressOffset &&
        address < port.bar0 + facts::kReceiveAddressOffset + 6) {
      return Numbered(lan + " receive address",
                      static_cast<uint32_t>(address - port.bar0 -
                                            facts::kReceiveAddressOffset));
    }
  }
  return "";
}

}  // namespace

std::string RegisterName(uint64_t address, facts::Series series) {
  if (facts::InPciWindow(address)) {
    return PciName(address);
  }
  const std::string lan = LanMemoryName(address);
  if (!lan.empty() || !facts::InPrivateWindow(address)) {
    return lan;
  }
  return GpioName(address, series);
}

}  // namespace sim
