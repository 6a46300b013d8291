// Configuration space of one PCI function, byte by byte: which bytes the
// model implements, which bits a store may change, and their values.
#ifndef BOARDCFG_SIM_CHIPSET_PCI_FUNCTION_H
#define BOARDCFG_SIM_CHIPSET_PCI_FUNCTION_H

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>

namespace sim {

class PciFunction {
 public:
  static constexpr uint16_t kSize = 0x1000;

  // Implements size bytes at offset with a value and the bits a store may
  // change.
  void Define(uint16_t offset, uint8_t size, uint32_t value,
              uint32_t writable = 0);
  // Sets bytes regardless of the writable mask, implementing them if needed.
  void Set(uint16_t offset, uint8_t size, uint32_t value);
  uint32_t Get(uint16_t offset, uint8_t size) const;

  // An absent function answers every read with all-ones and drops stores.
  void SetPresent(bool present) { present_ = present; }
  bool Present() const { return present_; }

  // Empty when a byte of the access is not implemented.
  std::optional<uint32_t> Read(uint16_t offset, uint8_t width) const;
  // False when a byte of the access is not implemented.
  bool Write(uint16_t offset, uint8_t width, uint32_t value);

  // Every byte a read would return: implemented bytes, or all 0x1000 as
  // 0xFF while the function is absent.
  void ForEachByte(
      const std::function<void(uint16_t offset, uint8_t value)> &visit) const;

  // Runs after each store that reached the function.
  std::function<void(uint16_t offset, uint8_t width, uint32_t value)>
      afterWrite;

 private:
  bool Implements(uint16_t offset, uint8_t size) const;

  std::array<uint8_t, kSize> bytes_{};
  std::array<uint8_t, kSize> writable_{};
  std::bitset<kSize> implemented_;
  bool present_ = true;
};

}  // namespace sim

#endif
