// Entry 4 of the board service: which bytes of the caller's buffers it
// writes for each combination of devices behind the two bridges.
#include <optional>
#include <string>
#include <vector>

#include "driver/board_service_protocol.h"
#include "driver/onboard_lan.h"
#include "platform/register_access.h"
#include "tests/board_test_support.h"

namespace {

using sim::BoardSetup;
using sim::DeviceKind;
using sim::SimulatedBoot;

constexpr uint8_t E = facts::kLanFirstCanary;
constexpr uint8_t S = facts::kLanSecondCanary;
constexpr sim::MacAddress kMac1 = {0x00, 0x1B, 0x21, 0x11, 0x22, 0x33};
constexpr sim::MacAddress kMac2 = {0x00, 0x1B, 0x21, 0x44, 0x55, 0x66};

std::array<uint8_t, 10> First(bool found) {
  if (!found) {
    return {E, E, E, 0, E, E, E, E, E, E};
  }
  return {E,        E,        E,        1,        kMac1[0],
          kMac1[1], kMac1[2], kMac1[3], kMac1[4], kMac1[5]};
}

std::array<uint8_t, 7> Second(bool found) {
  if (!found) {
    return {0, S, S, S, S, S, S};
  }
  return {1, kMac2[0], kMac2[1], kMac2[2], kMac2[3], kMac2[4], kMac2[5]};
}

struct LanCase {
  const char *name;
  DeviceKind first;
  DeviceKind second;
};

std::ostream &operator<<(std::ostream &out, const LanCase &c) {
  return out << c.name;
}

class OnboardLanTest : public ::testing::TestWithParam<LanCase> {};

TEST_P(OnboardLanTest, ReportsTheI210BehindEachBridge) {
  const LanCase &c = GetParam();
  BoardSetup setup;
  setup.lan = {c.first, c.second};
  setup.macs = {kMac1, kMac2};
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.Install(sim::OutsideService::PciLocation);
  const sim::BoardServiceAnswer answer = boot.AskBoardService();
  EXPECT_EQ(answer.status, EFI_SUCCESS);
  EXPECT_EQ(answer.first, First(c.first == DeviceKind::I210));
  EXPECT_EQ(answer.second, Second(c.second == DeviceKind::I210));
  ExpectSoundBoot(boot);
}

INSTANTIATE_TEST_SUITE_P(
    Bridges, OnboardLanTest,
    ::testing::Values(LanCase{"Both", DeviceKind::I210, DeviceKind::I210},
                      LanCase{"FirstOnly", DeviceKind::I210, DeviceKind::None},
                      LanCase{"SecondOnly", DeviceKind::None, DeviceKind::I210},
                      LanCase{"Neither", DeviceKind::None, DeviceKind::None},
                      LanCase{"OtherDevice", DeviceKind::Other,
                              DeviceKind::I210}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OnboardLan, CommandRegisterEndsAsItBegan) {
  BoardSetup setup;
  const uint32_t command = PciConfigAddress(PciAddress16{0x0200}, 0x04);
  setup.registers[command] = 0x00100002;
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.Install(sim::OutsideService::PciLocation);
  const auto before = boot.Board().Chipset().Peek(command);
  boot.AskBoardService();
  EXPECT_EQ(boot.Board().Chipset().Peek(command), before);
  // Decoding was on while the address was copied out.
  size_t enables = 0;
  for (const sim::Access &access : boot.Board().Chipset().Trace().Entries()) {
    enables += access.op == sim::AccessOp::Write && access.address == command &&
               access.value == 0x07;
  }
  EXPECT_EQ(enables, 1U);
}

TEST(OnboardLan, WithoutTheLocationServiceReportsNotFoundAndProbesNothing) {
  BoardSetup setup;
  setup.steps = sim::StepsFor({}, {});
  SimulatedBoot boot(setup);
  boot.RunEntry();
  const sim::BoardServiceAnswer answer = boot.AskBoardService();
  EXPECT_EQ(answer.status, EFI_NOT_FOUND);
  EXPECT_EQ(answer.first, First(false));
  EXPECT_EQ(answer.second, Second(false));
  EXPECT_EQ(boot.Board().Chipset().Trace().AccessCount(), 0U);
  EXPECT_EQ(PciLocationCache, nullptr);

  // Looked up again once the service has appeared.
  boot.Install(sim::OutsideService::PciLocation);
  EXPECT_EQ(boot.AskBoardService().status, EFI_SUCCESS);
  EXPECT_EQ(boot.LastAnswer().first[3], 1U);
}

TEST(OnboardLan, FoundServiceIsCachedForLaterCalls) {
  SimulatedBoot boot(BoardSetup{});
  boot.RunEntry();
  boot.Install(sim::OutsideService::PciLocation);
  const size_t lookupsBefore = CountCalls(boot, "LocateProtocol");
  boot.AskBoardService();
  boot.AskBoardService();
  EXPECT_EQ(CountCalls(boot, "LocateProtocol"), lookupsBefore + 1);
  const auto lookups =
      boot.Board().Firmware().Calls().To("PciLocationService.LookupBridge");
  ASSERT_EQ(lookups.size(), 4U);
  EXPECT_EQ(lookups[0].args[0], 8U);
  EXPECT_EQ(lookups[1].args[0], 403U);
}

}  // namespace

namespace {

// BAR0 is used as found: where nothing decodes, the copy reads all-ones.
TEST(OnboardLan, BarWhereNothingDecodesReadsAllOnes) {
  BoardSetup setup;
  setup.lan = {DeviceKind::I210, DeviceKind::None};
  SimulatedBoot boot(setup);
  constexpr uint32_t kBar0 = PciConfigAddress(PciAddress16{0x0200}, 0x10);
  boot.Board().Chipset().SetReadSource(
      [](uint64_t address, uint8_t) -> std::optional<uint32_t> {
        if (address == kBar0) {
          return 0x12340000;
        }
        return std::nullopt;
      });
  boot.RunEntry();
  boot.Install(sim::OutsideService::PciLocation);
  const sim::BoardServiceAnswer answer = boot.AskBoardService();
  EXPECT_EQ(answer.status, EFI_SUCCESS);
  EXPECT_EQ(answer.first, (std::array<uint8_t, 10>{E, E, E, 1, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(CountAccesses(boot, sim::AccessOp::Read, 0x12345400), 1U);
}

}  // namespace
