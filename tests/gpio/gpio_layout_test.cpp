// The model's GPIO facts: held field by field against the driver's group
// tables (the two are typed separately from the hardware tables, so a slip
// in either shows here), and the places the other suites rely on pinned.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "gpio/group_tables.h"
#include "sim/facts/gpio_layout.h"

namespace {

using facts::Series;

TEST(GpioLayoutTest, ModelLayoutMatchesTheDriverTablesFieldByField) {
  const struct {
    const char *series;
    const GpioGroupRecord *driver;
    UINT32 driverCount;
    UINT8 driverChipsetId;
    const facts::GpioLayout &model;
  } layouts[] = {
      {"LP", kGpioGroupsLp, kGpioGroupCountLp, kChipsetIdLp,
       facts::kGpioLayoutLp},
      {"H", kGpioGroupsH, kGpioGroupCountH, kChipsetIdH, facts::kGpioLayoutH},
  };
  // Absent registers are compared as offsets too.
  ASSERT_EQ(uint32_t{facts::kNoRegister}, uint32_t{kNoRegister});
  for (const auto &layout : layouts) {
    SCOPED_TRACE(layout.series);
    EXPECT_EQ(layout.model.chipsetId, layout.driverChipsetId);
    ASSERT_EQ(layout.model.count, layout.driverCount);
    for (uint32_t index = 0; index < layout.model.count; ++index) {
      const GpioGroupRecord &d = layout.driver[index];
      const facts::GpioGroup &m = layout.model[index];
      SCOPED_TRACE(std::to_string(index) + " " + m.name);
      const struct {
        const char *field;
        uint32_t driver;
        uint32_t model;
      } fields[] = {
          {"Port", d.Port, m.port},       {"Own", d.Own, m.own},
          {"HostSw", d.HostSw, m.hostSw}, {"IntSts", d.IntSts, m.intSts},
          {"IntEn", d.IntEn, m.intEn},    {"GpeSts", d.GpeSts, m.gpeSts},
          {"GpeEn", d.GpeEn, m.gpeEn},    {"SmiSts", d.SmiSts, m.smiSts},
          {"SmiEn", d.SmiEn, m.smiEn},    {"NmiSts", d.NmiSts, m.nmiSts},
          {"NmiEn", d.NmiEn, m.nmiEn},    {"Lock", d.Lock, m.lock},
          {"LockTx", d.LockTx, m.lockTx}, {"PadCfg", d.PadCfg, m.padCfg},
          {"Pads", d.Pads, m.pads},
      };
      for (const auto &f : fields) {
        EXPECT_EQ(f.model, f.driver) << f.field << std::hex << ": model 0x"
                                     << f.model << ", driver 0x" << f.driver;
      }
    }
  }
}

TEST(GpioLayoutTest, LpcDeviceIdFamilyNamesTheSeries) {
  const struct {
    uint16_t id;
    Series series;
  } cases[] = {
      {0x9D80, Series::Lp},
      {0x9D80 + 0x1F, Series::Lp},
      {0x9D80 + 0x20, Series::Undetected},
      {0x9D7F, Series::Undetected},
      {0xA300, Series::H},
      {0xA300 + 0x1F, Series::H},
      {0xA300 + 0x20, Series::Undetected},
      {0x1234, Series::Undetected},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(facts::SeriesOfLpcDeviceId(c.id), c.series) << std::hex << c.id;
  }
  // An undetected series is laid out, and its pads coded, as the H series.
  EXPECT_EQ(&facts::LayoutOf(Series::Undetected), &facts::kGpioLayoutH);
  EXPECT_EQ(facts::PadCodeOf(Series::Undetected, facts::kGppB0), 0x03010000u);
}

struct PinnedPad {
  const char *pad;
  Series series;
  facts::GpioPad place;
  uint32_t padCode;
  const char *group;
  uint8_t port;
  uint16_t dw0;
  uint16_t own;
  uint32_t ownMask;
  uint16_t lock;
  uint16_t lockTx;
  uint32_t lockMask;
};

// The strap and output pads the suites name, and one pad past the first
// 32-pad and 8-pad blocks of its group.
const PinnedPad kPinnedPads[] = {
    {"GPP_K0", Series::H, facts::kGppK[0], 0x030A0000, "GPP_K", 0x6B, 0x600,
     0x020, 0x3, 0x080, 0x084, 1U << 0},
    {"GPP_K3", Series::H, facts::kGppK[3], 0x030A0003, "GPP_K", 0x6B, 0x630,
     0x020, 0x3U << 12, 0x080, 0x084, 1U << 3},
    {"GPP_B0", Series::H, facts::kGppB0, 0x03010000, "GPP_B", 0x6E, 0x790,
     0x030, 0x3, 0x088, 0x08C, 1U << 0},
    {"GPP_B0", Series::Lp, facts::kGppB0, 0x04010000, "GPP_B", 0x6E, 0x790,
     0x030, 0x3, 0x088, 0x08C, 1U << 0},
    {"VGPIO33",
     Series::H,
     {12, 33},
     0x030C0021,
     "VGPIO",
     0x6D,
     0xC10,
     0x050,
     0x3U << 4,
     0x0A8,
     0x0AC,
     1U << 1},
};

TEST(GpioLayoutTest, PinnedPadsLieWhereTheSuitesExpect) {
  for (const PinnedPad &p : kPinnedPads) {
    SCOPED_TRACE(std::string(p.pad) +
                 (p.series == Series::Lp ? " (LP)" : " (H)"));
    EXPECT_EQ(facts::PadCodeOf(p.series, p.place), p.padCode);
    EXPECT_EQ(std::string(facts::GroupOf(p.series, p.place).name), p.group);
    EXPECT_EQ(facts::PadDw0(p.series, p.place),
              facts::PrivateRegister(p.port, p.dw0));
    const facts::RegisterBits own = facts::PadOwnership(p.series, p.place);
    EXPECT_EQ(own.address, facts::PrivateRegister(p.port, p.own));
    EXPECT_EQ(own.mask, p.ownMask);
    EXPECT_EQ(own.mask >> own.shift, 0x3u);
    const facts::RegisterBits lock = facts::PadLock(p.series, p.place);
    const facts::RegisterBits lockTx = facts::PadLockTx(p.series, p.place);
    EXPECT_EQ(lock.address, facts::PrivateRegister(p.port, p.lock));
    EXPECT_EQ(lockTx.address, facts::PrivateRegister(p.port, p.lockTx));
    EXPECT_EQ(lock.mask, p.lockMask);
    EXPECT_EQ(lockTx.mask, p.lockMask);
  }
}

TEST(GpioLayoutTest, OnlyTheHSeriesHasGppK) {
  for (const facts::GpioGroup &group : facts::kGpioLayoutLp) {
    EXPECT_NE(std::string(group.name), "GPP_K");
  }
  EXPECT_EQ(std::string(facts::kGpioLayoutH[facts::kGppK[0].group].name),
            "GPP_K");
}

}  // namespace
