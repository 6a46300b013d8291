#include "tests/gpio/gpio_test_support.h"

namespace {

constexpr PadCode kGppK3 = 0x030A0003;

using PadQueryTest = GpioTest;

struct PadValidityCase {
  uint16_t id;
  PadCode pad;
  bool valid;

  std::string Name() const { return DeviceIdName(id) + "_" + sim::Hex(pad); }
};

void PrintTo(const PadValidityCase &c, std::ostream *out) { *out << c.Name(); }

class PadValidityTest : public GpioTest,
                        public ::testing::WithParamInterface<PadValidityCase> {
};

TEST_P(PadValidityTest, FollowsSeriesGroupAndPadCount) {
  const PadValidityCase &c = GetParam();
  Board().SetLpcDeviceId(c.id);
  EXPECT_EQ(IsPadValid(c.pad), c.valid);
}

const PadValidityCase kPadValidityCases[] = {
    {kHDeviceId, 0x03000018, true},   // GPP_A24, the last pad
    {kHDeviceId, 0x03000019, false},  // pad count of GPP_A
    {kHDeviceId, 0x03100008, true},   // JTAG, the last group
    {kHDeviceId, 0x03110000, false},  // group count
    {kHDeviceId, 0x04010000, false},  // an LP pad
    {kHDeviceId, 0x03810000, false},  // group 0x81, not 1
    {kHDeviceId, 0x03000100, false},  // pad 0x100, not 0
    {kLpDeviceId, 0x040E0005, true},
    {kLpDeviceId, 0x040F0000, false},
    {kLpDeviceId, 0x03010000, false},
    {kUndetectedDeviceId, 0x03100000, true},
    {kUndetectedDeviceId, 0x04000000, false},
};

INSTANTIATE_TEST_SUITE_P(PadQueries, PadValidityTest,
                         ::testing::ValuesIn(kPadValidityCases),
                         [](const auto &info) { return info.param.Name(); });

TEST_F(PadQueryTest, GppK3ReadsItsNibbleAndDw0OnPort6B) {
  StartOn(kHDeviceId);
  Board().SetPadRxLevel(kGppK3, true);
  UINT32 level = 7;
  EXPECT_EQ(GetInputValue(kGppK3, &level), EFI_SUCCESS);
  EXPECT_EQ(level, 1u);
  EXPECT_EQ(TraceLines(), (Lines{
                              "read32 0xFD6B0020 = 0x00000000",
                              "read32 0xFD6B0630 = 0x00000002",
                          }));
}

TEST_F(PadQueryTest, OwnershipIsTheLowTwoBitsOfThePadsNibble) {
  StartOn(kHDeviceId);
  Board().OverrideRegister(0xFD6B0020, 0x0000E000);  // pad 3: nibble 0xE
  Board().OverrideRegister(0xFD6B0024, 0xFFFFFFF1);  // pad 8: nibble 0x1
  UINT32 owner = 0;
  EXPECT_EQ(GetPadOwnership(kGppK3, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 2u);
  EXPECT_EQ(GetPadOwnership(0x030A0008, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 1u);
}

TEST_F(PadQueryTest, PadNotOwnedByHostHasNoInputValue) {
  StartOn(kHDeviceId);
  Board().SetPadOwnership(kGppK3, 1);
  Board().SetPadRxLevel(kGppK3, true);
  UINT32 level = 7;
  EXPECT_EQ(GetInputValue(kGppK3, &level), EFI_UNSUPPORTED);
  EXPECT_EQ(level, 7u);
  EXPECT_EQ(TraceLines(), Lines{"read32 0xFD6B0020 = 0x00001000"});
}

TEST_F(PadQueryTest, InvalidPadTouchesNeitherRegistersNorResult) {
  StartOn(kHDeviceId);
  UINT32 value = 7;
  EXPECT_EQ(GetInputValue(0x030A0018, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(GetPadOwnership(0x040A0003, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(AccessCount(), 0u);
}

// DW0 of a pad by its group's index: the last H group (bit 4 set) and
// GPP_B (bit 0 set).
TEST_F(PadQueryTest, Dw0OfAPadInItsGroup) {
  StartOn(kHDeviceId);
  const struct {
    PadCode pad;
    Lines trace;
  } cases[] = {
      // JTAG3: port 0x6A, PadCfg 0x6B0
      {0x03100003, {"read32 0xFD6A06E0 = 0x44000300"}},
      // GPP_B2: port 0x6E, PadCfg 0x790
      {0x03010002, {"read32 0xFD6E07B0 = 0x44000300"}},
  };
  for (const auto &c : cases) {
    Board().Trace().Clear();
    Board().SetPadDw0(c.pad, 0x44000300);
    EXPECT_EQ(ReadPadDw0(c.pad), 0x44000300u);
    EXPECT_EQ(TraceLines(), c.trace);
  }
}

TEST_F(PadQueryTest, LpPadsUseTheLpLayout) {
  StartOn(kLpDeviceId);
  constexpr PadCode kLpGppE5 = 0x04040005;  // port 0x6A, PadCfg 0x780
  Board().SetPadDw0(kLpGppE5, 0x44000702);
  EXPECT_EQ(ReadPadDw0(kLpGppE5), 0x44000702u);
  UINT32 level = 0;
  EXPECT_EQ(GetInputValue(kLpGppE5, &level), EFI_SUCCESS);
  EXPECT_EQ(level, 1u);
  EXPECT_EQ(TraceLines().front(), "read32 0xFD6A07D0 = 0x44000702");
  EXPECT_EQ(TraceLines()[1], "read32 0xFD6A002C = 0x00000000");
}

}  // namespace
