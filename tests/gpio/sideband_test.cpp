#include "sim/facts/board.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using SidebandTest = GpioTest;

// A message to H GPP_B's LockTx, port 0x6E offset 0x08C.
EFI_STATUS SendToLockTx(UINT32 data, UINT8 *response, INT32 opcode = 0x13) {
  return SendSidebandMessage(0x6E, 0x08C, &data, response, opcode);
}

TEST_F(SidebandTest, RegistersAreWrittenInOrder) {
  StartOn(kHDeviceId);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(0x00000101, &response), EFI_SUCCESS);
  EXPECT_EQ(response, 0);
  EXPECT_EQ(TraceLines(), (Lines{
                              "read16 0xE00F9000 = 0x8086",
                              "read16 0xE00F90D8 = 0x0000",
                              "write32 0xE00F90D0 = 0x6E00008C",
                              "write32 0xE00F90DC = 0x00000000",
                              "read16 0xE00F90D8 = 0x0000",
                              "write16 0xE00F90D8 = 0x1300",
                              "write16 0xE00F90DA = 0xF000",
                              "write32 0xE00F90D4 = 0x00000101",
                              "read16 0xE00F90D8 = 0x1300",
                              "write16 0xE00F90D8 = 0x1301",
                              "read16 0xE00F90D8 = 0x1301 x3",
                              "read16 0xE00F90D8 = 0x1300",
                          }));
  EXPECT_EQ(*Board().Peek(kHGppBLockTx), 0x00000101u);
}

struct SecondWaitCase {
  const char *name;
  uint32_t busyReads;
  EFI_STATUS status;
  UINT8 response;
  Lines wait;  // the status reads after the start
  uint64_t statusReads;
};

void PrintTo(const SecondWaitCase &c, std::ostream *out) { *out << c.name; }

class SecondWaitTest : public GpioTest,
                       public ::testing::WithParamInterface<SecondWaitCase> {};

// The message stays busy for the P2SB's count of status reads and completes
// on the read after them; at the driver's poll limit the second wait gives
// up first, leaving the message under way and the lock register as it was.
TEST_P(SecondWaitTest, ReadsUntilTheMessageCompletes) {
  const SecondWaitCase &c = GetParam();
  StartOn(kHDeviceId);
  Board().SetP2sbBusyReads(c.busyReads);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(0x00000101, &response), c.status);
  EXPECT_EQ(response, c.response);
  const Lines lines = TraceLines();
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[9], "write16 0xE00F90D8 = 0x1301");
  EXPECT_EQ(Lines(lines.begin() + 10, lines.end()), c.wait);
  ASSERT_EQ(Board().SidebandMessages().size(), 1u);
  const sim::SidebandMessage &message = Board().SidebandMessages()[0];
  EXPECT_EQ(message.statusReads, c.statusReads);
  EXPECT_EQ(message.completion.has_value(), c.status == EFI_SUCCESS);
  EXPECT_EQ(*Board().Peek(kHGppBLockTx),
            c.status == EFI_SUCCESS ? 0x00000101u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sideband, SecondWaitTest,
    ::testing::Values(
        SecondWaitCase{
            "NeverBusy", 0, EFI_SUCCESS, 0, {"read16 0xE00F90D8 = 0x1300"}, 1},
        SecondWaitCase{
            "BusyForOneRead",
            1,
            EFI_SUCCESS,
            0,
            {"read16 0xE00F90D8 = 0x1301", "read16 0xE00F90D8 = 0x1300"},
            2},
        SecondWaitCase{
            "BusyForSevenReads",
            7,
            EFI_SUCCESS,
            0,
            {"read16 0xE00F90D8 = 0x1301 x7", "read16 0xE00F90D8 = 0x1300"},
            8},
        SecondWaitCase{"BusyForOneReadLessThanThePollLimit",
                       facts::kSidebandPollLimit - 1,
                       EFI_SUCCESS,
                       0,
                       {"read16 0xE00F90D8 = 0x1301 x268435454",
                        "read16 0xE00F90D8 = 0x1300"},
                       facts::kSidebandPollLimit},
        SecondWaitCase{"BusyForThePollLimit",
                       facts::kSidebandPollLimit,
                       EFI_TIMEOUT,
                       4,
                       {"read16 0xE00F90D8 = 0x1301 x268435455"},
                       facts::kSidebandPollLimit}),
    [](const auto &info) { return std::string(info.param.name); });

// A message still under way when its wait gave up completes on a later
// status read, here the first of the next message's first wait, which then
// goes on at once.
TEST_F(SidebandTest, AMessageTheWaitGaveUpOnCompletesLater) {
  StartOn(kHDeviceId);
  Board().SetP2sbBusyReads(facts::kSidebandPollLimit);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(0x00000101, &response), EFI_TIMEOUT);
  Board().Trace().Clear();
  EXPECT_EQ(SendToLockTx(0x00000000, &response), EFI_TIMEOUT);
  const Lines lines = TraceLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "read16 0xE00F90D8 = 0x1300");
  ASSERT_EQ(Board().SidebandMessages().size(), 2u);
  EXPECT_EQ(Board().SidebandMessages()[0].statusReads,
            facts::kSidebandPollLimit + 1ULL);
  EXPECT_EQ(Board().SidebandMessages()[0].completion, 0);
  EXPECT_EQ(*Board().Peek(kHGppBLockTx), 0x00000101u);
}

TEST_F(SidebandTest, OffsetIsSplitAcrossAddressAndExtendedAddress) {
  StartOn(kHDeviceId);
  UINT32 data = 1;
  UINT8 response = 9;
  EXPECT_EQ(SendSidebandMessage(0x6E, 0x0012008C, &data, &response, 0x13),
            EFI_DEVICE_ERROR);
  EXPECT_EQ(TraceLines()[2], "write32 0xE00F90D0 = 0x6E00008C");
  EXPECT_EQ(TraceLines()[3], "write32 0xE00F90DC = 0x00000012");
  // No lock register lies at 0x12008C: the model refuses and says so.
  EXPECT_EQ(response, 1);
  EXPECT_EQ(*Board().Peek(kHGppBLockTx), 0u);
  EXPECT_EQ(Board().Notes().size(), 1u);
}

// The values written, in order, to one register.
std::vector<uint32_t> WritesTo(const sim::ChipsetModel &chipset,
                               uint64_t address) {
  std::vector<uint32_t> values;
  for (const sim::Access &access : chipset.Trace().Entries()) {
    if (access.op == sim::AccessOp::Write && access.address == address) {
      values.push_back(access.value);
    }
  }
  return values;
}

class MessageOffsetTest : public GpioTest,
                          public ::testing::WithParamInterface<UINT32> {};

// Offset bits 15..0 go to the address register, 31..16 to the extended one.
TEST_P(MessageOffsetTest, IsCarriedWhole) {
  const UINT32 offset = GetParam();
  StartOn(kHDeviceId);
  UINT32 data = 1;
  UINT8 response = 9;
  SendSidebandMessage(0x6E, offset, &data, &response, 0x13);
  ASSERT_EQ(Board().SidebandMessages().size(), 1u);
  EXPECT_EQ(Board().SidebandMessages()[0].offset, offset);
  EXPECT_EQ(Board().SidebandMessages()[0].port, 0x6E);
}

INSTANTIATE_TEST_SUITE_P(Sideband, MessageOffsetTest,
                         ::testing::Values(0x0000108CU, 0x0001F08CU,
                                           0xFFFF0000U, 0x0000FFFFU),
                         [](const auto &info) { return sim::Hex(info.param); });

// The opcode write keeps status bits 6..0 as read and clears bit 7.
TEST_F(SidebandTest, OpcodeWriteKeepsTheLowStatusBits) {
  StartOn(kHDeviceId);
  Board().OverrideRegister(0xE00F90D8, 0x00F8, 16);
  UINT8 response = 9;
  SendToLockTx(1, &response);
  ASSERT_FALSE(WritesTo(Board(), 0xE00F90D8).empty());
  EXPECT_EQ(WritesTo(Board(), 0xE00F90D8).front(), 0x1378u);
}

struct OpcodeCase {
  INT32 opcode;
  bool accepted;

  std::string Name() const {
    const int64_t value = opcode;
    return std::string(accepted ? "Accepted_" : "Refused_") +
           (value < 0 ? "Minus" + sim::Hex(-value, 2) : sim::Hex(value, 2));
  }
};

void PrintTo(const OpcodeCase &c, std::ostream *out) { *out << c.Name(); }

class OpcodeArgumentTest : public GpioTest,
                           public ::testing::WithParamInterface<OpcodeCase> {};

TEST_P(OpcodeArgumentTest, AcceptedSendsTheLockUpdateRefusedTouchesNothing) {
  const OpcodeCase &c = GetParam();
  StartOn(kHDeviceId);
  UINT8 response = 9;
  const EFI_STATUS status = SendToLockTx(1, &response, c.opcode);
  if (c.accepted) {
    EXPECT_EQ(status, EFI_SUCCESS);
    ASSERT_EQ(Board().SidebandMessages().size(), 1u);
    EXPECT_EQ(Board().SidebandMessages()[0].opcode, 0x13);
  } else {
    EXPECT_EQ(status, EFI_INVALID_PARAMETER);
    EXPECT_EQ(response, 9);
    EXPECT_EQ(AccessCount(), 0u);
  }
}

const OpcodeCase kOpcodeCases[] = {
    {INT32_MIN, true}, {-1, true},    {0, true},    {1, true},
    {2, false},        {3, false},    {4, true},    {7, true},
    {8, false},        {0x12, false}, {0x13, true}, {0x14, false},
};

INSTANTIATE_TEST_SUITE_P(Sideband, OpcodeArgumentTest,
                         ::testing::ValuesIn(kOpcodeCases),
                         [](const auto &info) { return info.param.Name(); });

TEST_F(SidebandTest, AbsentP2sbFailsWithoutWaiting) {
  StartOn(kHDeviceId);
  Board().SetP2sbState(sim::P2sbState::Absent);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(1, &response), EFI_DEVICE_ERROR);
  EXPECT_EQ(response, 9);
  EXPECT_EQ(TraceLines(), Lines{"read16 0xE00F9000 = 0xFFFF"});
}

struct PollLimitCase {
  const char *name;
  sim::P2sbState state;
  UINT8 response;
  Lines sent;  // the trace before the wait that gave up
  const char *lastLine;
};

void PrintTo(const PollLimitCase &c, std::ostream *out) { *out << c.name; }

class PollLimitTest : public GpioTest,
                      public ::testing::WithParamInterface<PollLimitCase> {};

// Each wait gives up after 0x0FFFFFFF status reads: the first leaves the
// response alone, the second leaves the 4 it preset.
TEST_P(PollLimitTest, EndsTheWait) {
  const PollLimitCase &c = GetParam();
  StartOn(kHDeviceId);
  Board().SetP2sbState(c.state);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(1, &response), EFI_TIMEOUT);
  EXPECT_EQ(response, c.response);
  const Lines lines = TraceLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), c.lastLine);
  EXPECT_EQ(Lines(lines.begin(), lines.end() - 1), c.sent);
  EXPECT_EQ(*Board().Peek(kHGppBLockTx), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sideband, PollLimitTest,
    ::testing::Values(
        PollLimitCase{"FirstWaitOnAStuckP2sb",
                      sim::P2sbState::Stuck,
                      9,
                      {"read16 0xE00F9000 = 0x8086"},
                      "read16 0xE00F90D8 = 0x0001 x268435455"},
        // The hung message is sent in full before the second wait runs out.
        PollLimitCase{
            "SecondWaitOnAHungMessage",
            sim::P2sbState::HangsOnMessage,
            4,
            {"read16 0xE00F9000 = 0x8086", "read16 0xE00F90D8 = 0x0000",
             "write32 0xE00F90D0 = 0x6E00008C",
             "write32 0xE00F90DC = 0x00000000", "read16 0xE00F90D8 = 0x0000",
             "write16 0xE00F90D8 = 0x1300", "write16 0xE00F90DA = 0xF000",
             "write32 0xE00F90D4 = 0x00000001", "read16 0xE00F90D8 = 0x1300",
             "write16 0xE00F90D8 = 0x1301"},
            "read16 0xE00F90D8 = 0x1301 x268435455"}),
    [](const auto &info) { return std::string(info.param.name); });

class CompletionStatusTest : public GpioTest,
                             public ::testing::WithParamInterface<uint8_t> {};

TEST_P(CompletionStatusTest, IsTheResponse) {
  const uint8_t completion = GetParam();
  StartOn(kHDeviceId);
  Board().SetP2sbState(sim::P2sbState::CompletesWithError, completion);
  UINT8 response = 9;
  EXPECT_EQ(SendToLockTx(1, &response), EFI_DEVICE_ERROR);
  EXPECT_EQ(response, completion);
  EXPECT_EQ(*Board().Peek(kHGppBLockTx), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sideband, CompletionStatusTest,
                         ::testing::Values<uint8_t>(1, 2, 3),
                         [](const auto &info) {
                           return "Status" + std::to_string(info.param);
                         });

}  // namespace
