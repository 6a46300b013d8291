#include "tests/gpio/gpio_test_support.h"

namespace {

// One sideband message to H GPP_B's LockTx (port 0x6E, offset 0x08C),
// starting from a status whose opcode byte is `opcode`.
Lines LockTxMessage(const std::string &data, const std::string &opcode) {
  return {
      "read16 0xE00F9000 = 0x8086",
      "read16 0xE00F90D8 = 0x" + opcode + "00",
      "write32 0xE00F90D0 = 0x6E00008C",
      "write32 0xE00F90DC = 0x00000000",
      "read16 0xE00F90D8 = 0x" + opcode + "00",
      "write16 0xE00F90D8 = 0x1300",
      "write16 0xE00F90DA = 0xF000",
      "write32 0xE00F90D4 = 0x" + data,
      "read16 0xE00F90D8 = 0x1300",
      "write16 0xE00F90D8 = 0x1301",
      "read16 0xE00F90D8 = 0x1301 x3",
      "read16 0xE00F90D8 = 0x1300",
  };
}

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines &part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

class DriveGppB0LowTest : public GpioTest,
                          public ::testing::WithParamInterface<uint16_t> {};

// An undetected series uses the H layout and the H chipset ID.
INSTANTIATE_TEST_SUITE_P(HLayout, DriveGppB0LowTest,
                         ::testing::Values(kHDeviceId, kUndetectedDeviceId));

TEST_P(DriveGppB0LowTest, TxLockIsLiftedAroundTheStore) {
  StartOn(GetParam());
  Board().SetPadDw0(kPadGppB0, 0x44000203);
  Board().SetPadTxLock(kPadGppB0, true);
  Board().OverrideRegister(0xFD6E008C, 0x00020003);  // B1 and B17 locked
  DriveGppB0Low();
  EXPECT_EQ(TraceLines(), Concat({
                              {"read32 0xFD6E008C = 0x00020003 x2"},
                              LockTxMessage("00020002", "00"),
                              {"read32 0xFD6E0790 = 0x44000203",
                               "write32 0xFD6E0790 = 0x44000202",
                               "read32 0xFD6E008C = 0x00020002"},
                              LockTxMessage("00020003", "13"),
                          }));
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0x44000202u);
  EXPECT_TRUE(Board().PadTxLocked(kPadGppB0));
  EXPECT_EQ(Board().Flags(), Lines{});
}

TEST_P(DriveGppB0LowTest, ClearLockMeansOnlyTheStore) {
  StartOn(GetParam());
  Board().SetPadDw0(kPadGppB0, 0x44000203);
  DriveGppB0Low();
  EXPECT_EQ(TraceLines(), (Lines{"read32 0xFD6E008C = 0x00000000",
                                 "read32 0xFD6E0790 = 0x44000203",
                                 "write32 0xFD6E0790 = 0x44000202"}));
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0x44000202u);
  EXPECT_TRUE(Board().SidebandMessages().empty());
}

TEST_P(DriveGppB0LowTest, WithoutP2sbTheStoreLeavesTxStateLocked) {
  StartOn(GetParam());
  Board().SetPadDw0(kPadGppB0, 0x44000203);
  Board().SetPadTxLock(kPadGppB0, true);
  Board().SetP2sbState(sim::P2sbState::Absent);
  DriveGppB0Low();
  EXPECT_EQ(
      TraceLines(),
      (Lines{"read32 0xFD6E008C = 0x00000001 x2", "read16 0xE00F9000 = 0xFFFF",
             "read32 0xFD6E0790 = 0x44000203",
             "write32 0xFD6E0790 = 0x44000202",
             "read32 0xFD6E008C = 0x00000001", "read16 0xE00F9000 = 0xFFFF"}));
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0x44000203u);
  EXPECT_TRUE(Board().PadTxLocked(kPadGppB0));
}

// On LP the H pad code of GPP_B0 is invalid: the lock is neither read nor
// lifted, and the store meets the TX lock.
TEST_F(GpioTest, DriveGppB0LowOnLpOnlyStores) {
  StartOn(kLpDeviceId);
  Board().SetPadDw0(kPadGppB0, 0x44000203);
  Board().SetPadTxLock(kPadGppB0, true);
  DriveGppB0Low();
  EXPECT_EQ(TraceLines(), (Lines{"read32 0xFD6E0790 = 0x44000203",
                                 "write32 0xFD6E0790 = 0x44000202"}));
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0x44000203u);
}

}  // namespace
