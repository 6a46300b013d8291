#include "sim/facts/gpio_layout.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using LockRegisterTest = GpioTest;

struct GroupAndDwValidityCase {
  uint16_t id;
  GroupCode group;
  UINT32 dw;
  bool valid;

  std::string Name() const {
    return DeviceIdName(id) + "_" + sim::Hex(group, 4) + "_Dw" +
           std::to_string(dw);
  }
};

void PrintTo(const GroupAndDwValidityCase &c, std::ostream *out) {
  *out << c.Name();
}

class GroupAndDwValidityTest
    : public GpioTest,
      public ::testing::WithParamInterface<GroupAndDwValidityCase> {};

TEST_P(GroupAndDwValidityTest, FollowsSeriesGroupAndPadCount) {
  const GroupAndDwValidityCase &c = GetParam();
  Board().SetLpcDeviceId(c.id);
  EXPECT_EQ(IsGroupAndDwValid(c.group, c.dw), c.valid);
}

const GroupAndDwValidityCase kGroupAndDwValidityCases[] = {
    {kHDeviceId, 0x0310, 0, true},  // JTAG, 9 pads
    {kHDeviceId, 0x0310, 1, false},
    {kHDeviceId, 0x0311, 0, false},
    {kHDeviceId, 0x02FF, 0, false},
    {kHDeviceId, 0x0300, 0, true},
    {kHDeviceId, 0x030C, 1, true},  // VGPIO, 40 pads
    {kHDeviceId, 0x030C, 2, false},
    {kHDeviceId, 0x0401, 0, false},
    {kLpDeviceId, 0x040E, 0, true},
    {kLpDeviceId, 0x040F, 0, false},
    {kLpDeviceId, 0x0301, 0, false},
    {kLpDeviceId, 0x0409, 1, true},  // VGPIO, 40 pads
    {kUndetectedDeviceId, 0x0310, 0, true},
    {kUndetectedDeviceId, 0x040E, 0, false},
};

INSTANTIATE_TEST_SUITE_P(LockRegisters, GroupAndDwValidityTest,
                         ::testing::ValuesIn(kGroupAndDwValidityCases),
                         [](const auto &info) { return info.param.Name(); });

struct GroupRegisterSeries {
  uint16_t id;
  const facts::GpioLayout *layout;
};

void PrintTo(const GroupRegisterSeries &s, std::ostream *out) {
  *out << DeviceIdName(s.id);
}

class GroupRegisterReadTest
    : public GpioTest,
      public ::testing::WithParamInterface<GroupRegisterSeries> {};

// Every kind of every group of the series, at block 0, block 1 and a block
// whose offset runs past 16 bits: the one private register it reads (the
// offset wraps within the port), or no read and 0 where the group lacks it.
TEST_P(GroupRegisterReadTest, EveryKindOfEveryGroupReadsItsRegister) {
  const struct {
    GpioRegisterKind kind;
    uint16_t facts::GpioGroup::*field;
    uint32_t stride;
  } kinds[] = {
      {GpioHostSw, &facts::GpioGroup::hostSw, facts::kPadBitStride},
      {GpioGpeEn, &facts::GpioGroup::gpeEn, facts::kPadBitStride},
      {GpioGpeSts, &facts::GpioGroup::gpeSts, facts::kPadBitStride},
      {GpioSmiEn, &facts::GpioGroup::smiEn, facts::kPadBitStride},
      {GpioSmiSts, &facts::GpioGroup::smiSts, facts::kPadBitStride},
      {GpioNmiEn, &facts::GpioGroup::nmiEn, facts::kPadBitStride},
      {GpioLock, &facts::GpioGroup::lock, facts::kLockStride},
      {GpioLockTx, &facts::GpioGroup::lockTx, facts::kLockStride},
  };
  const GroupRegisterSeries &s = GetParam();
  StartOn(s.id);
  size_t missing = 0;
  for (UINT8 index = 0; index < s.layout->count; ++index) {
    const facts::GpioGroup &group = (*s.layout)[index];
    for (const auto &k : kinds) {
      for (UINT32 dw : {0U, 1U, 0x3FFFU}) {
        const uint16_t first = group.*k.field;
        const uint64_t address =
            facts::GroupRegister(group, first + dw * k.stride);
        const uint32_t marker = 0x5A000000U | index << 16 | k.kind << 8 | dw;
        Board().OverrideRegister(address, marker);
        Board().Trace().Clear();
        UINT32 value = 7;
        ReadGroupRegister(k.kind, index, dw, &value);
        const bool lacks = first == facts::kNoRegister;
        missing += lacks;
        EXPECT_EQ(value, lacks ? 0U : marker)
            << group.name << " kind " << k.kind << " dw " << dw;
        EXPECT_EQ(TraceLines(),
                  lacks ? Lines{} : Lines{Read32Line(address, marker)})
            << group.name << " kind " << k.kind << " dw " << dw;
      }
    }
  }
  EXPECT_GT(missing, 0U);  // the table has groups that lack a kind
}

INSTANTIATE_TEST_SUITE_P(
    LockRegisters, GroupRegisterReadTest,
    ::testing::Values(GroupRegisterSeries{kHDeviceId, &facts::kGpioLayoutH},
                      GroupRegisterSeries{kLpDeviceId, &facts::kGpioLayoutLp}),
    [](const auto &info) { return DeviceIdName(info.param.id); });

TEST_F(LockRegisterTest, MissingRegisterKindOrGroupYieldsZeroUnread) {
  StartOn(kHDeviceId);
  const struct {
    GpioRegisterKind kind;
    UINT8 group;
  } cases[] = {
      {GpioSmiEn, 0},  // GPP_A has no SMI registers
      {GpioNmiEn, 6},  // GPP_G has SMI but no NMI registers
      {static_cast<GpioRegisterKind>(8), 1},
      {GpioLockTx, 17},
      {GpioLockTx, 0xFF},
  };
  for (const auto &c : cases) {
    UINT32 value = 7;
    ReadGroupRegister(c.kind, c.group, 0, &value);
    EXPECT_EQ(value, 0u);
  }
  EXPECT_EQ(AccessCount(), 0u);
}

TEST_F(LockRegisterTest, LockReadsValidateFirst) {
  StartOn(kHDeviceId);
  Board().SetPadConfigLock(0x03100003, true);
  Board().SetPadTxLock(0x03100005, true);
  UINT32 value = 7;
  EXPECT_EQ(ReadLockRegister(0x0310, 0, &value), EFI_SUCCESS);
  EXPECT_EQ(value, 1u << 3);
  EXPECT_EQ(ReadLockTxRegister(0x0310, 0, &value), EFI_SUCCESS);
  EXPECT_EQ(value, 1u << 5);
  value = 7;
  EXPECT_EQ(ReadLockRegister(0x0310, 1, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ReadLockTxRegister(0x0311, 0, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(TraceLines(), (Lines{
                              "read32 0xFD6A0088 = 0x00000008",
                              "read32 0xFD6A008C = 0x00000020",
                          }));
}

// The group and the block asked: the second block of VGPIO's 40 pads (pads
// 32..39, 8 bytes after the first), and GPP_B, a group of odd index.
TEST_F(LockRegisterTest, LockReadsTakeTheGroupAndBlockAsked) {
  const struct {
    GroupCode group;
    UINT32 dw;
    PadCode locked;
    PadCode txLocked;
    Lines trace;
  } cases[] = {
      {0x030C,
       1,
       0x030C0022,
       0x030C0027,  // port 0x6D
       {"read32 0xFD6D00A8 = 0x00000004", "read32 0xFD6D00AC = 0x00000080"}},
      {0x0301,
       0,
       0x03010001,
       0x03010002,  // port 0x6E
       {"read32 0xFD6E0088 = 0x00000002", "read32 0xFD6E008C = 0x00000004"}},
  };
  for (const auto &c : cases) {
    StartOn(kHDeviceId);
    Board().SetPadConfigLock(c.locked, true);
    Board().SetPadTxLock(c.txLocked, true);
    UINT32 value = 0;
    EXPECT_EQ(ReadLockRegister(c.group, c.dw, &value), EFI_SUCCESS);
    EXPECT_EQ(value, 1u << (c.locked & 31));
    EXPECT_EQ(ReadLockTxRegister(c.group, c.dw, &value), EFI_SUCCESS);
    EXPECT_EQ(value, 1u << (c.txLocked & 31));
    EXPECT_EQ(TraceLines(), c.trace);
  }
}

TEST_F(LockRegisterTest, RejectedWritesTouchNoRegister) {
  StartOn(kHDeviceId);
  const struct {
    EFI_STATUS (*write)();
    EFI_STATUS status;
  } cases[] = {
      {[] { return WriteLockRegister(GpioHostSw, 0x0301, 0, 0, 1); },
       EFI_UNSUPPORTED},
      {[] { return WriteLockRegister(GpioLockTx, 0x0311, 0, 0, 1); },
       EFI_INVALID_PARAMETER},
      {[] { return WriteLockRegister(GpioLock, 0x03FF, 0, 0, 1); },
       EFI_INVALID_PARAMETER},
      {[] { return WriteLockRegister(GpioLockTx, 0x0310, 1, 0, 1); },
       EFI_INVALID_PARAMETER},
      {[] { return UnlockPadTx(0x0311, 0, 1); }, EFI_INVALID_PARAMETER},
      {[] { return LockPadTx(0x0301, 1, 1); }, EFI_INVALID_PARAMETER},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.write(), c.status);
  }
  for (UINT32 kind : {0U, 1U, 2U, 3U, 4U, 5U, 8U, 0xFFFFFFFFU}) {
    EXPECT_EQ(
        WriteLockRegister(static_cast<GpioRegisterKind>(kind), 0x0301, 0, 0, 1),
        EFI_UNSUPPORTED)
        << kind;
  }
  EXPECT_EQ(AccessCount(), 0u);
}

TEST_F(LockRegisterTest, WriteLockRegisterMasksTheCurrentValue) {
  StartOn(kLpDeviceId);
  // LP VGPIO (port 0x6D), pads 32..39: Lock at 0x098 + 8.
  Board().OverrideRegister(0xFD6D00A0, 0x00F0F0F0);
  // orMask also sets a bit that is already set: it stays set.
  EXPECT_EQ(WriteLockRegister(GpioLock, 0x0409, 1, 0x00FF00FF, 0x0F000010),
            EFI_SUCCESS);
  EXPECT_EQ(*Board().Peek(0xFD6D00A0), 0x0FF000F0u);
  ASSERT_EQ(Board().SidebandMessages().size(), 1u);
  EXPECT_EQ(Board().SidebandMessages()[0].port, 0x6D);
  EXPECT_EQ(Board().SidebandMessages()[0].offset, 0x0A0u);
}

TEST_F(LockRegisterTest, UnlockAndLockChangeOnlyTheirBits) {
  StartOn(kHDeviceId);
  Board().OverrideRegister(0xFD6E008C, 0x80000107);  // H GPP_B LockTx
  EXPECT_EQ(UnlockPadTx(0x0301, 0, 0x00000104), EFI_SUCCESS);
  EXPECT_EQ(*Board().Peek(0xFD6E008C), 0x80000003u);
  EXPECT_EQ(LockPadTx(0x0301, 0, 0x00000010), EFI_SUCCESS);
  EXPECT_EQ(*Board().Peek(0xFD6E008C), 0x80000013u);
  EXPECT_EQ(Board().Flags(), Lines{});
}

}  // namespace
