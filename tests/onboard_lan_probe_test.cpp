// One probe of AppendI210Mac, access by access: its status, the list it
// appends to, the configuration accesses and the copy of the address.
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "driver/onboard_lan.h"
#include "platform/service_globals.h"
#include "sim/board/simulated_boot.h"
#include "sim/firmware/firmware_model.h"
#include "tests/model_fixture.h"
#include "tests/trace_lines.h"

namespace {

using sim::AccessOp;
using sim::DeviceKind;

constexpr facts::LanPort kPort = facts::kLanPorts[0];
constexpr facts::PciFunctionAddress kDevice =
    facts::PciFunction(kPort.bus, 0, 0);
constexpr uint64_t kIds = facts::PciRegister(kDevice, facts::kPciIdsOffset);
constexpr uint64_t kCommand =
    facts::PciRegister(kDevice, facts::kPciCommandOffset);
constexpr uint64_t kBar0 = facts::PciRegister(kDevice, facts::kPciBar0Offset);
constexpr sim::MacAddress kMac = {0x00, 0x1B, 0x21, 0x0A, 0x0B, 0x0C};
constexpr uint8_t kCanary = 0xEE;
// BAR0 as read, with every one of its four flag bits set: the address is
// what remains.
constexpr uint32_t kBar0Read = kPort.bar0 | 0xF;

class AppendI210MacTest : public ::testing::Test {
 protected:
  // A board with `kind` behind the first bridge; `count` addresses listed.
  EFI_STATUS Probe(DeviceKind kind, uint8_t count) {
    sim::BoardSetup setup;
    setup.lan = {kind, DeviceKind::None};
    setup.macs = {kMac, kMac};
    boot_.emplace(setup);
    ServiceGlobals.BootServices = boot_->Board().Firmware().BootServices();
    if (kind != DeviceKind::None) {
      boot_->Board().Chipset().OverrideRegister(kBar0, kBar0Read);
    }
    boot_->Board().Chipset().OverrideRegister(kCommand, 0x02, 8);
    boot_->Board().Chipset().Trace().Clear();
    list_.fill(kCanary);
    list_[0] = count;
    return AppendI210Mac(kDevice, list_.data());
  }

  std::optional<sim::SimulatedBoot> boot_;
  std::array<uint8_t, 1 + 3 * 6> list_;
};

TEST_F(AppendI210MacTest, NoDeviceOrAnotherDeviceLeavesTheListAlone) {
  const struct {
    DeviceKind kind;
    Lines trace;
  } cases[] = {
      {DeviceKind::None, {Read32Line(kIds, 0xFFFFFFFF)}},
      {DeviceKind::Other, {Read32Line(kIds, facts::kOtherEthernetIds) + " x2"}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Probe(c.kind, 1), EFI_SUCCESS);
    std::array<uint8_t, 19> untouched;
    untouched.fill(kCanary);
    untouched[0] = 1;
    EXPECT_EQ(list_, untouched);
    EXPECT_EQ(ChipsetTraceLines(boot_->Board().Chipset()), c.trace);
    EXPECT_TRUE(boot_->Board().Firmware().Calls().To("CopyMem").empty());
  }
}

// The MAC goes after the ones already listed, with memory decoding and bus
// mastering on for the copy and the command register restored after it.
TEST_F(AppendI210MacTest, AnI210IsAppendedAfterTheListedAddresses) {
  for (uint8_t count : {0, 2}) {
    EXPECT_EQ(Probe(DeviceKind::I210, count), EFI_SUCCESS);
    std::array<uint8_t, 19> expected;
    expected.fill(kCanary);
    expected[0] = static_cast<uint8_t>(count + 1);
    std::copy(kMac.begin(), kMac.end(), expected.begin() + 1 + 6 * count);
    EXPECT_EQ(list_, expected);

    const uint64_t receive = kPort.bar0 + facts::kReceiveAddressOffset;
    Lines trace = {
        Read32Line(kIds, facts::kI210Ids) + " x2",
        TraceLine(AccessOp::Read, 8, kCommand, 0x02),
        TraceLine(AccessOp::Write, 8, kCommand, 0x07),
        Read32Line(kBar0, kBar0Read),
    };
    for (size_t i = 0; i < kMac.size(); ++i) {
      trace.push_back(TraceLine(AccessOp::Read, 8, receive + i, kMac[i]));
    }
    trace.push_back(TraceLine(AccessOp::Write, 8, kCommand, 0x02));
    EXPECT_EQ(ChipsetTraceLines(boot_->Board().Chipset()), trace);
    const auto copies = boot_->Board().Firmware().Calls().To("CopyMem");
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_EQ(copies[0].args,
              (std::vector<uint64_t>{Address(list_.data() + 1 + 6 * count),
                                     receive, kMac.size()}));
  }
}

}  // namespace
