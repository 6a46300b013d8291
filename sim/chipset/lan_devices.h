// The onboard-LAN side of the board: PCI-to-PCI bridges, the function at
// device 0 function 0 of each bridge's subordinate bus, and the register
// space that an Ethernet controller decodes at its BAR0.
#ifndef BOARDCFG_SIM_CHIPSET_LAN_DEVICES_H
#define BOARDCFG_SIM_CHIPSET_LAN_DEVICES_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "sim/chipset/pci_config_space.h"

namespace sim {

enum class DeviceKind : uint8_t {
  None,   // nothing answers: configuration reads are all-ones
  I210,   // 8086:1533 with its receive-address registers
  Other,  // an Ethernet controller that is not an I210 (8086:10D3)
};

using MacAddress = std::array<uint8_t, 6>;

class LanDevices {
 public:
  explicit LanDevices(PciConfigSpace &pci) : pci_(pci) {}

  // A bridge whose secondary and subordinate bus is subordinateBus; the
  // bus is left empty until SetDeviceBehind fills it.
  void AddBridge(uint16_t bridge, uint8_t subordinateBus);
  // What answers at device 0 function 0 of the bus: a controller's BAR0
  // holds bar0, an I210's receive address mac; None empties the bus.
  void SetDeviceBehind(uint8_t bus, DeviceKind kind, const MacAddress &mac,
                       uint32_t bar0);

  // True when a controller's BAR0 range holds the address.
  bool Claims(uint64_t address) const;
  // True when that controller also has memory decoding on, so that an
  // access there reaches it rather than what lies beneath.
  bool Decodes(uint64_t address) const;
  // Empty while memory decoding is off or no register lies there.
  std::optional<uint32_t> ReadMemory(uint64_t address, uint8_t width) const;
  bool WriteMemory(uint64_t address, uint8_t width, uint32_t value);
  // Every register byte of every controller at its address under BAR0,
  // whether or not memory decoding is on.
  void ForEachMemoryByte(
      const std::function<void(uint64_t address, uint8_t value)> &visit) const;
  // Sets register bytes in a controller's range; false outside every range.
  bool Override(uint64_t address, uint8_t width, uint32_t value);

 private:
  // Register bytes by offset in the BAR0 range, ascending, in one vector:
  // a controller has a handful.
  class RegisterBytes {
   public:
    RegisterBytes() { bytes_.reserve(8); }
    uint8_t &operator[](uint32_t offset);
    // Null where no register byte lies.
    const uint8_t *Find(uint32_t offset) const;
    auto begin() const { return bytes_.begin(); }
    auto end() const { return bytes_.end(); }

   private:
    std::vector<std::pair<uint32_t, uint8_t>> bytes_;
  };
  struct Controller {
    uint16_t function;
    RegisterBytes registers;
  };
  struct Hit {
    const Controller *controller;
    uint32_t offset;
  };

  std::optional<Hit> Find(uint64_t address) const;
  bool Decodes(const Controller &controller) const;

  PciConfigSpace &pci_;
  std::map<uint8_t, Controller> controllers_;  // by bus
};

}  // namespace sim

#endif
