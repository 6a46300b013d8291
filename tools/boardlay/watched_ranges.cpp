#include "tools/boardlay/watched_ranges.h"

#include <algorithm>

namespace boardlay {

std::vector<AddressRange> CoveringRanges(std::vector<uint64_t> registers,
                                         uint64_t size) {
  std::sort(registers.begin(), registers.end());
  std::vector<AddressRange> ranges;
  for (const uint64_t address : registers) {
    if (!ranges.empty()) {
      AddressRange &last = ranges.back();
      const uint64_t end = last.address + last.size;
      if (address < end + kWatchGapLimit) {
        last.size = std::max(end, address + size) - last.address;
        continue;
      }
    }
    ranges.push_back({address, size});
  }
  return ranges;
}

}  // namespace boardlay
