// The address ranges whose stores stop the guest, so that the board acts on
// each store before the guest's next instruction. QEMU checks every
// watchpoint on each TLB fill, so the registers are folded into a few
// ranges: registers that lie closer together than a page share one, and
// the gaps between them, which the guest has no reason to store to, cost
// nothing unless it does.
#ifndef BOARDCFG_TOOLS_BOARDLAY_WATCHED_RANGES_H
#define BOARDCFG_TOOLS_BOARDLAY_WATCHED_RANGES_H

#include <cstdint>
#include <vector>

namespace boardlay {

struct AddressRange {
  uint64_t address;
  uint64_t size;

  bool operator==(const AddressRange &) const = default;
};

inline constexpr uint64_t kWatchGapLimit = 0x1000;

// The fewest ranges covering every register of `size` bytes at the given
// addresses (in any order, repeats allowed) without bridging a gap of
// kWatchGapLimit bytes or more; in address order.
std::vector<AddressRange> CoveringRanges(std::vector<uint64_t> registers,
                                         uint64_t size);

}  // namespace boardlay

#endif
