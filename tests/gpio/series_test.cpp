#include "gpio/group_tables.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using SeriesTest = GpioTest;

TEST_F(SeriesTest, DeviceIdFamilyNamesTheSeries) {
  const struct {
    uint16_t id;
    PchSeries series;
  } cases[] = {
      {0x9D80, kPchSeriesLp},          {0x9D9F, kPchSeriesLp},
      {0x9DA0, kPchSeriesNotDetected}, {0x9D7F, kPchSeriesNotDetected},
      {0xA300, kPchSeriesH},           {0xA31F, kPchSeriesH},
      {0xA320, kPchSeriesNotDetected}, {0xFFFF, kPchSeriesNotDetected},
  };
  for (const auto &c : cases) {
    SetUp();
    Board().SetLpcDeviceId(c.id);
    EXPECT_EQ(GetPchSeries(), c.series) << std::hex << c.id;
  }
}

TEST_F(SeriesTest, DetectedSeriesIsReadOnce) {
  Board().SetLpcDeviceId(kHDeviceId);
  EXPECT_EQ(GetPchSeries(), kPchSeriesH);
  EXPECT_EQ(GetPchSeries(), kPchSeriesH);
  EXPECT_EQ(TraceLines(), Lines{});
  ASSERT_EQ(Board().Trace().Entries().size(), 1u);
  EXPECT_EQ(sim::Describe(Board().Trace().Entries()[0]),
            "read16 0xE00F8002 = 0xA305");
  EXPECT_EQ(SeriesCache, kPchSeriesH);
}

TEST_F(SeriesTest, UndetectedSeriesIsDetectedAgainAtEachUse) {
  Board().SetLpcDeviceId(kUndetectedDeviceId);
  EXPECT_EQ(GetPchSeries(), kPchSeriesNotDetected);
  Board().SetLpcDeviceId(kLpDeviceId);
  EXPECT_EQ(GetPchSeries(), kPchSeriesLp);
  EXPECT_EQ(AccessCount(), 2u);
}

TEST_F(SeriesTest, GroupTableFollowsTheSeries) {
  const struct {
    uint16_t id;
    const GpioGroupRecord *table;
    UINT32 count;
  } cases[] = {
      {kHDeviceId, kGpioGroupsH, 17},
      {kLpDeviceId, kGpioGroupsLp, 15},
      {kUndetectedDeviceId, kGpioGroupsH, 17},
  };
  for (const auto &c : cases) {
    SetUp();
    Board().SetLpcDeviceId(c.id);
    UINT32 count = 0;
    EXPECT_EQ(GetGroupTable(&count), c.table) << std::hex << c.id;
    EXPECT_EQ(count, c.count);
  }
}

}  // namespace
