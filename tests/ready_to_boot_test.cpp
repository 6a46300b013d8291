// GPP_B0 at ready-to-boot, end to end: signalled twice, with the pad's
// owner, lock and the P2SB in every state that changes the outcome.
#include "platform/register_access.h"
#include "sim/facts/gpio_layout.h"
#include "tests/board_test_support.h"
#include "tests/trace_lines.h"

namespace {

using sim::AccessOp;
using sim::BoardSetup;
using sim::SimulatedBoot;

const uint64_t kGppB0Dw0H = PrivateRegisterAddress(0x6E, 0x790);

struct PadCase {
  const char *name;
  uint16_t deviceId;
  uint8_t owner;
  bool txLocked;
  sim::P2sbBehaviour p2sb;
  size_t dw0Stores;
  uint32_t dw0After;
  size_t sidebandMessages;
};

std::ostream &operator<<(std::ostream &out, const PadCase &c) {
  return out << c.name;
}

class ReadyToBootTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(ReadyToBootTest, DrivesGppB0LowOnceWhenTheHostOwnsIt) {
  const PadCase &c = GetParam();
  BoardSetup setup;
  setup.pchDeviceId = c.deviceId;
  setup.gppB0 = {c.owner, c.txLocked, 0x44000201};
  setup.p2sb = c.p2sb;
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.SignalReadyToBoot();
  boot.SignalReadyToBoot();

  EXPECT_EQ(CountAccesses(boot, AccessOp::Write, kGppB0Dw0H), c.dw0Stores);
  EXPECT_EQ(boot.GppB0Now().dw0, c.dw0After);
  // The lock ends as it began, whatever happened in between.
  EXPECT_EQ(boot.GppB0Now().txLocked, c.txLocked);
  EXPECT_EQ(boot.Board().Chipset().SidebandMessages().size(),
            c.sidebandMessages);
  EXPECT_EQ(CountCalls(boot, "CloseEvent"), 1U);
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 2U);
  ExpectSoundBoot(boot);
}

using P2sb = sim::P2sbBehaviour;
INSTANTIATE_TEST_SUITE_P(
    Pads, ReadyToBootTest,
    ::testing::Values(
        PadCase{"LockedWithWorkingP2sb", 0xA305, 0, true, P2sb::Ok, 1,
                0x44000200, 2},
        PadCase{"Unlocked", 0xA305, 0, false, P2sb::Ok, 1, 0x44000200, 0},
        PadCase{"OwnedByAgent1", 0xA305, 1, true, P2sb::Ok, 0, 0x44000201, 0},
        PadCase{"OwnedByAgent2", 0xA305, 2, false, P2sb::Ok, 0, 0x44000201, 0},
        PadCase{"OwnedByAgent3", 0xA305, 3, true, P2sb::Ok, 0, 0x44000201, 0},
        PadCase{"UndetectedSeriesActsAsH", 0x1234, 0, true, P2sb::Ok, 1,
                0x44000200, 2},
        // The store is made, but the pad keeps driving high: the lock
        // could not be lifted.
        PadCase{"LockedWithP2sbAbsent", 0xA305, 0, true, P2sb::Absent, 1,
                0x44000201, 0},
        PadCase{"LockedWithFailingP2sb", 0xA305, 0, true, P2sb::Error, 1,
                0x44000201, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadyToBoot, LpSeriesWritesNothing) {
  BoardSetup setup;
  setup.pchDeviceId = 0x9D84;
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.SignalReadyToBoot();
  for (const sim::Access &access : boot.Board().Chipset().Trace().Entries()) {
    EXPECT_EQ(access.op, AccessOp::Read) << sim::Describe(access);
  }
  EXPECT_EQ(boot.GppB0Now().dw0, boot.GppB0Before().dw0);
  EXPECT_EQ(CountCalls(boot, "CloseEvent"), 1U);
}

TEST(ReadyToBoot, UnlockAndRelockCarryTheLockRegisterAsRead) {
  BoardSetup setup;
  setup.registers[PrivateRegisterAddress(0x6E, 0x08C)] = 0x00000005;
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.SignalReadyToBoot();
  const auto &messages = boot.Board().Chipset().SidebandMessages();
  ASSERT_EQ(messages.size(), 2U);
  EXPECT_EQ(messages[0].port, 0x6E);
  EXPECT_EQ(messages[0].offset, 0x08CU);
  EXPECT_EQ(messages[0].data, 0x00000004U);
  EXPECT_EQ(messages[1].data, 0x00000005U);
  EXPECT_EQ(boot.GppB0Now().dw0 & 1, 0U);
}

// Access by access on a host-owned, unlocked pad: the series is detected at
// the first use, or, while undetected, read again at every use.
TEST(ReadyToBoot, HostOwnedUnlockedPadAccessByAccess) {
  using facts::Series;
  const uint64_t own = facts::PadOwnership(Series::H, facts::kGppB0).address;
  const uint64_t lockTx = facts::PadLockTx(Series::H, facts::kGppB0).address;
  const uint64_t dw0 = facts::PadDw0(Series::H, facts::kGppB0);
  for (uint16_t id : {facts::kDefaultLpcDeviceId, uint16_t{0x1234}}) {
    BoardSetup setup;
    setup.pchDeviceId = id;
    setup.gppB0 = {0, false, 0x44000201};
    SimulatedBoot boot(setup);
    boot.RunEntry();
    boot.Board().Chipset().Trace().Clear();
    boot.SignalReadyToBoot();
    const bool undetected = id == 0x1234;
    const auto lpc = [&](int reads) {
      const std::string line =
          TraceLine(AccessOp::Read, 16, facts::kLpcDeviceId, id);
      return reads > 1 ? line + " x" + std::to_string(reads) : line;
    };
    Lines expected = {lpc(4),
                      Read32Line(own, 0),
                      lpc(3),
                      Read32Line(lockTx, 0),
                      lpc(1),
                      Read32Line(dw0, 0x44000201),
                      TraceLine(AccessOp::Write, 32, dw0, 0x44000200)};
    if (!undetected) {
      expected = {lpc(1), Read32Line(own, 0), Read32Line(lockTx, 0),
                  Read32Line(dw0, 0x44000201),
                  TraceLine(AccessOp::Write, 32, dw0, 0x44000200)};
    }
    EXPECT_EQ(ChipsetTraceLines(boot.Board().Chipset()), expected) << id;
  }
}

// The series found for the ownership differs from the one the pad was
// checked against: the owner is unknown, and the pad is left alone.
TEST(ReadyToBoot, PadThatTurnsInvalidIsLeftAlone) {
  BoardSetup setup;
  setup.pchDeviceId = 0x1234;
  SimulatedBoot boot(setup);
  boot.RunEntry();
  unsigned lpcReads = 0;
  boot.Board().Chipset().SetReadSource(
      [&](uint64_t address, uint8_t) -> std::optional<uint32_t> {
        if (address != facts::kLpcDeviceId) {
          return std::nullopt;
        }
        return ++lpcReads == 1 ? 0x1234 : 0x9D84;
      });
  boot.SignalReadyToBoot();
  EXPECT_EQ(CountAccesses(boot, AccessOp::Write, kGppB0Dw0H), 0U);
  EXPECT_EQ(CountCalls(boot, "CloseEvent"), 1U);
}

}  // namespace
