#include "sim/chipset/pci_function.h"

namespace sim {

namespace {

uint32_t AllOnes(uint8_t width) {
  return width == 32 ? 0xFFFFFFFFU : (1U << width) - 1;
}

}  // namespace

void PciFunction::Define(uint16_t offset, uint8_t size, uint32_t value,
                         uint32_t writable) {
  Set(offset, size, value);
  for (uint8_t i = 0; i < size; ++i) {
    writable_[offset + i] = static_cast<uint8_t>(writable >> (8 * i));
  }
}

void PciFunction::Set(uint16_t offset, uint8_t size, uint32_t value) {
  for (uint8_t i = 0; i < size; ++i) {
    bytes_.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    implemented_.set(offset + i);
  }
}

uint32_t PciFunction::Get(uint16_t offset, uint8_t size) const {
  uint32_t value = 0;
  for (uint8_t i = 0; i < size; ++i) {
    value |= static_cast<uint32_t>(bytes_.at(offset + i)) << (8 * i);
  }
  return value;
}

bool PciFunction::Implements(uint16_t offset, uint8_t size) const {
  for (uint8_t i = 0; i < size; ++i) {
    if (offset + i >= kSize || !implemented_[offset + i]) {
      return false;
    }
  }
  return true;
}

std::optional<uint32_t> PciFunction::Read(uint16_t offset,
                                          uint8_t width) const {
  if (!present_) {
    return AllOnes(width);
  }
  if (!Implements(offset, width / 8)) {
    return std::nullopt;
  }
  return Get(offset, width / 8);
}

void PciFunction::ForEachByte(
    const std::function<void(uint16_t offset, uint8_t value)> &visit) const {
  for (uint16_t offset = 0; offset < kSize; ++offset) {
    if (!present_) {
      visit(offset, 0xFF);
    } else if (implemented_[offset]) {
      visit(offset, bytes_[offset]);
    }
  }
}

bool PciFunction::Write(uint16_t offset, uint8_t width, uint32_t value) {
  if (!present_) {
    return true;
  }
  if (!Implements(offset, width / 8)) {
    return false;
  }
  for (uint8_t i = 0; i < width / 8; ++i) {
    const uint8_t mask = writable_[offset + i];
    const auto byte = static_cast<uint8_t>(value >> (8 * i));
    bytes_[offset + i] = (bytes_[offset + i] & ~mask) | (byte & mask);
  }
  if (afterWrite) {
    afterWrite(offset, width, value);
  }
  return true;
}

}  // namespace sim
