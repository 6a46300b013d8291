// The riser strap read, access by access: GPP_K0..GPP_K3 in turn, each its
// ownership then its DW0, and no pad beyond them.
#include "driver/riser.h"
#include "sim/facts/gpio_layout.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using facts::Series;

facts::PadCode StrapCode(uint16_t number) {
  return facts::PadCodeOf(Series::H, {facts::kGppK[0].group, number});
}

class RiserStrapTest : public GpioTest {
 protected:
  // H board with GPP_K0..K3 at `levels` and the pads after them high and
  // host-owned, so that a fifth strap read would change the riser.
  void StartWithStraps(const std::array<bool, 4> &levels) {
    StartOn(kHDeviceId);
    for (uint16_t number = 0; number < 8; ++number) {
      Board().SetPadRxLevel(StrapCode(number), number >= 4 || levels[number]);
    }
    Board().Trace().Clear();
  }

  // The ownership read of strap `number`, then its DW0 read when the host
  // owns it.
  void ExpectStrapRead(Lines &lines, uint16_t number, bool hostOwned) {
    const facts::GpioPad pad = facts::PadOfCode(StrapCode(number));
    const uint64_t own = facts::PadOwnership(Series::H, pad).address;
    lines.push_back(Read32Line(own, *Board().Peek(own)));
    if (hostOwned) {
      const uint64_t dw0 = facts::PadDw0(Series::H, pad);
      lines.push_back(Read32Line(dw0, *Board().Peek(dw0)));
    }
  }
};

TEST_F(RiserStrapTest, ReadsExactlyTheFourStrapsInOrder) {
  StartWithStraps({true, false, true, true});
  EXPECT_EQ(ReadRiserId(), 0b1101);
  Lines expected;
  for (uint16_t number = 0; number < 4; ++number) {
    ExpectStrapRead(expected, number, true);
  }
  EXPECT_EQ(TraceLines(), Folded(expected));
}

class UnreadableStrapTest : public RiserStrapTest,
                            public ::testing::WithParamInterface<uint16_t> {};

// A strap the host does not own ends its own read after the ownership and
// names no riser; the straps after it are still read.
TEST_P(UnreadableStrapTest, StillReadsTheOthers) {
  const uint16_t unowned = GetParam();
  StartWithStraps({false, true, true, true});
  Board().SetPadOwnership(StrapCode(unowned), 2);
  Board().Trace().Clear();
  EXPECT_EQ(ReadRiserId(), 0);
  Lines expected;
  for (uint16_t number = 0; number < 4; ++number) {
    ExpectStrapRead(expected, number, number != unowned);
  }
  EXPECT_EQ(TraceLines(), Folded(expected));
}

INSTANTIATE_TEST_SUITE_P(RiserStraps, UnreadableStrapTest,
                         ::testing::Range<uint16_t>(0, 4),
                         [](const auto &info) {
                           return "GppK" + std::to_string(info.param);
                         });

}  // namespace
