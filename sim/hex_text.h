// Numbers and bytes as the reports, notes and tools print them.
#ifndef BOARDCFG_SIM_HEX_TEXT_H
#define BOARDCFG_SIM_HEX_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace sim {

// "0x" and at least `digits` upper-case hex digits.
inline std::string Hex(uint64_t value, int digits = 8) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits,
                static_cast<unsigned long long>(value));
  return text;
}

// Two lower-case hex digits per byte, no separators.
inline std::string HexBytes(const uint8_t *bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    text += pair;
  }
  return text;
}

}  // namespace sim

#endif
