// Registers folded into the few ranges boardlay watches.
#include "tools/boardlay/watched_ranges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using boardlay::AddressRange;
using boardlay::kWatchGapLimit;

struct RangesCase {
  const char *name;
  std::vector<uint64_t> registers;  // 4-byte registers
  std::vector<AddressRange> ranges;
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const RangesCase &c, std::ostream *out) { *out << c.name; }

class CoveringRanges : public ::testing::TestWithParam<RangesCase> {};

TEST_P(CoveringRanges, FewestRangesThatBridgeNoPage) {
  const RangesCase &c = GetParam();
  EXPECT_EQ(boardlay::CoveringRanges(c.registers, 4), c.ranges);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CoveringRanges,
    ::testing::Values(
        RangesCase{"None", {}, {}},
        RangesCase{"One", {0xFD6A0600}, {{0xFD6A0600, 4}}},
        RangesCase{"Adjacent", {0xFD6A0600, 0xFD6A0604}, {{0xFD6A0600, 8}}},
        RangesCase{"GapJustUnderTheLimit",
                   {0x1000, 0x1004 + kWatchGapLimit - 1},
                   {{0x1000, 8 + kWatchGapLimit - 1}}},
        RangesCase{"GapOfTheLimit",
                   {0x1000, 0x1004 + kWatchGapLimit},
                   {{0x1000, 4}, {0x1004 + kWatchGapLimit, 4}}},
        RangesCase{"UnorderedWithRepeats",
                   {0x2008, 0x2000, 0x9000, 0x2008},
                   {{0x2000, 12}, {0x9000, 4}}}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
