#include "platform/register_access.h"
#include "sim/hex_text.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using ChipsetModelTest = GpioTest;

constexpr uint64_t kHGppB0Dw0 = 0xFD6E0790;

TEST_F(ChipsetModelTest, LockRegistersIgnorePlainStores) {
  RegisterWrite32(kHGppBLockTx, 1);
  RegisterWrite32(0xFD6E0088, 1);
  EXPECT_FALSE(Board().PadTxLocked(kPadGppB0));
  EXPECT_FALSE(Board().PadConfigLocked(kPadGppB0));
  EXPECT_EQ(Board().Notes().size(), 2u);
  EXPECT_TRUE(Board().Trace().Unimplemented().empty());
}

struct SidebandEngineCase {
  const char *name;
  uint16_t opcode;
  uint32_t address;
  bool applied;
};

void PrintTo(const SidebandEngineCase &c, std::ostream *out) { *out << c.name; }

class SidebandEngineTest
    : public GpioTest,
      public ::testing::WithParamInterface<SidebandEngineCase> {};

// Only opcode 0x13 to a Lock or LockTx register changes anything.
TEST_P(SidebandEngineTest, ServesOnlyLockUpdates) {
  const SidebandEngineCase &c = GetParam();
  RegisterWrite32(0xE00F90D0, c.address);
  RegisterWrite32(0xE00F90D4, 1);
  RegisterWrite16(0xE00F90D8, c.opcode | 1);
  for (uint32_t read = 0; read < sim::P2sb::kDefaultBusyReads; ++read) {
    EXPECT_EQ(RegisterRead16(0xE00F90D8), c.opcode | 1);
    EXPECT_FALSE(Board().PadTxLocked(kPadGppB0));
  }
  EXPECT_EQ(RegisterRead16(0xE00F90D8), c.applied ? c.opcode : c.opcode | 2);
  EXPECT_EQ(Board().PadTxLocked(kPadGppB0), c.applied);
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0u);
  EXPECT_EQ(Board().Notes().size(), c.applied ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    ChipsetModel, SidebandEngineTest,
    ::testing::Values(
        SidebandEngineCase{"Opcode0x13ToLockTx", 0x1300, 0x6E00008C, true},
        SidebandEngineCase{"Opcode0x12ToLockTx", 0x1200, 0x6E00008C, false},
        SidebandEngineCase{"Opcode0x13ToGppB0Dw0", 0x1300, 0x6E000790, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ChipsetModelTest, UnimplementedAccessesAreFlaggedAndReadAllOnes) {
  const struct {
    uint64_t address;
    uint8_t width;
    uint32_t value;
  } cases[] = {
      {0xFD6E0000, 32, 0xFFFFFFFF},  // a hole in community 0x6E
      {kHGppB0Dw0, 16, 0xFFFF},      // the private window is 32-bit only
      {0xE00F8010, 32, 0xFFFFFFFF},  // an LPC register the model lacks
      {0xE0100000, 16, 0xFFFF},      // a function the model lacks
      {0x80000000, 8, 0xFF},         // memory nothing decodes
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Board().Read(c.address, c.width), c.value)
        << std::hex << c.address;
  }
  RegisterWrite32(0xFD6E0000, 0);
  EXPECT_EQ(Board().Trace().Unimplemented().size(), 6u);
  EXPECT_EQ(Board().Flags().size(), 6u);
  EXPECT_EQ(Board().Flags().back(),
            "write32 0xFD6E0000 = 0x00000000 (unimplemented)");
}

constexpr uint32_t kPresetDw0 = 0x44000203;
constexpr uint32_t kPresetDw1 = 0x00003C00;

struct PadStoreCase {
  uint8_t owner;
  bool txLock;
  bool configLock;
  uint64_t address;
  uint32_t written;
  uint32_t stored;
  size_t notes;

  std::string Name() const {
    return std::string(address == kHGppB0Dw0 ? "Dw0" : "Dw1") + "_Owner" +
           std::to_string(owner) + (txLock ? "_TxLock" : "") +
           (configLock ? "_ConfigLock" : "") + "_" + sim::Hex(written);
  }
};

void PrintTo(const PadStoreCase &c, std::ostream *out) { *out << c.Name(); }

class PadStoreTest : public GpioTest,
                     public ::testing::WithParamInterface<PadStoreCase> {};

// A store to a pad the host does not own changes nothing; the
// configuration lock keeps DW1 and all of DW0 but its TX state, which only
// the TX-state lock keeps; DW0's RX state is the pin's. A store the
// ownership or the configuration lock refused is noted once.
TEST_P(PadStoreTest, KeepsWhatOwnershipLocksAndInputProtect) {
  const PadStoreCase &c = GetParam();
  Board().SetPadDw0(kPadGppB0, kPresetDw0);
  Board().OverrideRegister(kHGppB0Dw0 + 4, kPresetDw1);
  Board().SetPadOwnership(kPadGppB0, c.owner);
  Board().SetPadTxLock(kPadGppB0, c.txLock);
  Board().SetPadConfigLock(kPadGppB0, c.configLock);
  RegisterWrite32(c.address, c.written);
  EXPECT_EQ(*Board().Peek(c.address), c.stored);
  EXPECT_EQ(Board().Notes().size(), c.notes);
}

const PadStoreCase kPadStoreCases[] = {
    {0, false, false, kHGppB0Dw0, 0x40000100, 0x40000102, 0},
    {0, true, false, kHGppB0Dw0, 0x40000100, 0x40000103, 0},
    {0, true, false, kHGppB0Dw0, 0x40000101, 0x40000103, 0},
    {0, false, true, kHGppB0Dw0, 0x40000100, 0x44000202, 1},
    {0, false, true, kHGppB0Dw0, 0x44000200, 0x44000202, 0},
    {0, true, true, kHGppB0Dw0, 0x40000100, 0x44000203, 1},
    {1, false, false, kHGppB0Dw0, 0x40000100, kPresetDw0, 1},
    {2, false, false, kHGppB0Dw0, kPresetDw0, kPresetDw0, 1},
    {3, true, true, kHGppB0Dw0, 0x40000100, kPresetDw0, 1},
    {0, false, false, kHGppB0Dw0 + 4, 0x00001000, 0x00001000, 0},
    {0, true, false, kHGppB0Dw0 + 4, 0x00001000, 0x00001000, 0},
    {0, false, true, kHGppB0Dw0 + 4, 0x00001000, kPresetDw1, 1},
    {0, false, true, kHGppB0Dw0 + 4, kPresetDw1, kPresetDw1, 0},
    {1, false, false, kHGppB0Dw0 + 4, 0x00001000, kPresetDw1, 1},
};

INSTANTIATE_TEST_SUITE_P(ChipsetModel, PadStoreTest,
                         ::testing::ValuesIn(kPadStoreCases),
                         [](const auto &info) { return info.param.Name(); });

TEST_F(ChipsetModelTest, OverridesLoadStateThatBehaviourActsOn) {
  Board().OverrideRegister(kHGppBLockTx, 1);
  RegisterWrite32(kHGppB0Dw0, 1);
  EXPECT_EQ(Board().PadDw0(kPadGppB0), 0u);

  Board().OverrideRegister(0xFD6E0FF0, 0x1234);  // no register of the layout
  RegisterWrite32(0xFD6E0FF0, 0x5678);
  EXPECT_EQ(RegisterRead32(0xFD6E0FF0), 0x5678u);

  // An LP device ID lays the communities out by the LP table; addresses
  // both layouts have keep their values.
  constexpr uint64_t kLpGppG0Dw0 = 0xFD6E0930;
  EXPECT_EQ(Board().Peek(kLpGppG0Dw0), std::nullopt);
  Board().OverrideRegister(kLpcDeviceIdAddress, kLpDeviceId, 16);
  EXPECT_EQ(GetPchSeries(), kPchSeriesLp);
  EXPECT_EQ(Board().Peek(kLpGppG0Dw0), 0u);
  EXPECT_TRUE(Board().PadTxLocked(kPadGppB0));
  EXPECT_EQ(Board().Peek(0xFD6E0FF0), 0x5678u);
  EXPECT_TRUE(Board().Flags().empty());
}

TEST_F(ChipsetModelTest, ReadsZeroEverywhereLeavesBothWindowsUnbacked) {
  Board().SetReadsZeroEverywhere();
  EXPECT_EQ(RegisterRead16(kLpcDeviceIdAddress), 0);
  EXPECT_EQ(RegisterRead16(0xE00F9000), 0);
  EXPECT_EQ(RegisterRead32(kHGppBLockTx), 0u);
  RegisterWrite32(kHGppB0Dw0, 1);
  EXPECT_EQ(Board().Trace().Unimplemented().size(), 4u);
  EXPECT_EQ(GetPchSeries(), kPchSeriesNotDetected);
}

class LanModelTest : public GpioTest {
 protected:
  static constexpr PciAddress16 kBridge = 0x00E0;  // bus 0, device 28
  static constexpr uint8_t kBus = 3;
  static constexpr sim::MacAddress kMac = {0x00, 0x1B, 0x21, 0xAA, 0xBB, 0xCC};
  static constexpr uint32_t kBar0 = 0xA0000000;
  static constexpr uint64_t kMacAddress = 0xA0005400;

  void SetUp() override {
    GpioTest::SetUp();
    Board().AddBridge(kBridge, kBus);
  }
};

TEST_F(LanModelTest, BridgeLeadsToTheControllerSetBehindIt) {
  EXPECT_EQ(RegisterRead8(PciConfigAddress(kBridge, 0x1A)), kBus);
  EXPECT_EQ(RegisterRead32(PciConfigAddress(kBus << 8, 0)), 0xFFFFFFFFu);
  EXPECT_TRUE(Board().Flags().empty());
  Board().SetDeviceBehind(kBus, sim::DeviceKind::Other, {}, kBar0);
  EXPECT_EQ(RegisterRead32(PciConfigAddress(kBus << 8, 0)), 0x10D38086u);
  Board().SetDeviceBehind(kBus, sim::DeviceKind::I210, kMac, 0xB0000004);
  EXPECT_EQ(RegisterRead32(PciConfigAddress(kBus << 8, 0)), 0x15338086u);
  EXPECT_EQ(RegisterRead32(PciConfigAddress(kBus << 8, 0x10)), 0xB0000004u);
}

TEST_F(LanModelTest, MacIsReadableWhileMemoryDecodes) {
  Board().SetDeviceBehind(kBus, sim::DeviceKind::I210, kMac, kBar0);
  const UINT32 command = PciConfigAddress(kBus << 8, 0x04);
  uint8_t byte = 0;
  // Decoding off: the range is not the controller's to answer.
  EXPECT_FALSE(Board().ReadDeviceByte(kMacAddress, &byte));
  RegisterWrite8(command, 0x07);
  sim::MacAddress read{};
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_TRUE(Board().ReadDeviceByte(kMacAddress + i, &read[i]));
  }
  EXPECT_EQ(read, kMac);
  EXPECT_EQ(sim::Describe(Board().Trace().Entries().back()),
            "read8 0xA0005405 = 0xCC");
  RegisterWrite16(command, 0);
  EXPECT_EQ(RegisterRead16(command), 0);
  EXPECT_FALSE(Board().ReadDeviceByte(kMacAddress, &byte));
  EXPECT_FALSE(Board().ReadDeviceByte(0xA0020000, &byte));
  EXPECT_TRUE(Board().Trace().Unimplemented().empty());
}

}  // namespace

namespace {

// The trace keeps its order with the service calls: a repeat of the last
// access after a call is a new entry, not one more of the earlier run.
TEST(AccessTraceOrder, RunDoesNotFoldAcrossAnotherEvent) {
  sim::Sequence sequence;
  sim::ChipsetModel chipset(sequence);
  chipset.Read(0xE00F8002, 16);
  chipset.Read(0xE00F8002, 16);
  sequence.Next();  // a service call in between
  chipset.Read(0xE00F8002, 16);
  const auto &entries = chipset.Trace().Entries();
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(entries[0].count, 2U);
  EXPECT_EQ(entries[1].count, 1U);
  EXPECT_LT(entries[0].sequence, entries[1].sequence);
}

}  // namespace

namespace {

// A controller whose memory decoding is off leaves its BAR0 range to what
// lies beneath; once on, it answers there first.
TEST(ControllerDecoding, OnlyADecodingControllerShadowsTheWindow) {
  sim::ChipsetModel chipset;
  chipset.SetLpcDeviceId(0xA305);
  chipset.AddBridge(0x00E0, 2);
  chipset.SetDeviceBehind(2, sim::DeviceKind::I210, {1, 2, 3, 4, 5, 6},
                          0xE00F0000);
  EXPECT_EQ(chipset.Read(0xE00F8002, 16), 0xA305U);
  uint8_t byte = 0;
  EXPECT_FALSE(chipset.ReadDeviceByte(0xE00F5400, &byte));

  chipset.Write(PciConfigAddress(PciAddress16{0x0200}, 0x04), 8, 0x07);
  ASSERT_TRUE(chipset.ReadDeviceByte(0xE00F5400, &byte));
  EXPECT_EQ(byte, 1U);
}

}  // namespace
