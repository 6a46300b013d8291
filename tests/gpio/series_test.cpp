#include "gpio/group_tables.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using SeriesTest = GpioTest;

std::string PchSeriesName(PchSeries series) {
  switch (series) {
    case kPchSeriesH:
      return "H";
    case kPchSeriesLp:
      return "Lp";
    case kPchSeriesNotDetected:
      return "NotDetected";
    default:
      return sim::Hex(series, 2);
  }
}

struct PchSeriesCase {
  uint16_t id;
  PchSeries series;

  std::string Name() const {
    return PchSeriesName(series) + "_" + sim::Hex(id, 4);
  }
};

void PrintTo(const PchSeriesCase &c, std::ostream *out) { *out << c.Name(); }

class PchSeriesTest : public GpioTest,
                      public ::testing::WithParamInterface<PchSeriesCase> {};

TEST_P(PchSeriesTest, DeviceIdFamilyNamesTheSeries) {
  const PchSeriesCase &c = GetParam();
  Board().SetLpcDeviceId(c.id);
  EXPECT_EQ(GetPchSeries(), c.series);
}

INSTANTIATE_TEST_SUITE_P(
    Series, PchSeriesTest,
    ::testing::Values(PchSeriesCase{0x9D80, kPchSeriesLp},
                      PchSeriesCase{0x9D9F, kPchSeriesLp},
                      PchSeriesCase{0x9DA0, kPchSeriesNotDetected},
                      PchSeriesCase{0x9D7F, kPchSeriesNotDetected},
                      PchSeriesCase{0xA300, kPchSeriesH},
                      PchSeriesCase{0xA31F, kPchSeriesH},
                      PchSeriesCase{0xA320, kPchSeriesNotDetected},
                      PchSeriesCase{0xFFFF, kPchSeriesNotDetected}),
    [](const auto &info) { return info.param.Name(); });

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

struct GroupTableCase {
  uint16_t id;
  const GpioGroupRecord *table;
  UINT32 count;
};

void PrintTo(const GroupTableCase &c, std::ostream *out) {
  *out << DeviceIdName(c.id);
}

class GroupTableTest : public GpioTest,
                       public ::testing::WithParamInterface<GroupTableCase> {};

TEST_P(GroupTableTest, FollowsTheSeries) {
  const GroupTableCase &c = GetParam();
  Board().SetLpcDeviceId(c.id);
  UINT32 count = 0;
  EXPECT_EQ(GetGroupTable(&count), c.table);
  EXPECT_EQ(count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Series, GroupTableTest,
    ::testing::Values(GroupTableCase{kHDeviceId, kGpioGroupsH, 17},
                      GroupTableCase{kLpDeviceId, kGpioGroupsLp, 15},
                      GroupTableCase{kUndetectedDeviceId, kGpioGroupsH, 17}),
    [](const auto &info) { return DeviceIdName(info.param.id); });

}  // namespace
