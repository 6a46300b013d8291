// The invariant checker must notice each kind of misbehaviour; each case
// plays a sound boot, then does what a faulty driver would.
#include "driver/board_service_protocol.h"
#include "platform/guids.h"
#include "platform/register_access.h"
#include "sim/facts/gpio_layout.h"
#include "sim/hex_text.h"
#include "sim/outcome/outcome_json.h"
#include "sim/outcome/outcome_text.h"
#include "tests/board_test_support.h"

namespace {

using sim::BoardSetup;
using sim::SimulatedBoot;

bool Reports(const SimulatedBoot &boot, const std::string &what) {
  for (const std::string &broken : sim::CheckInvariants(boot)) {
    if (broken.find(what) != std::string::npos) {
      return true;
    }
  }
  return false;
}

VOID EFIAPI KeepsItsEventOpen(EFI_EVENT, VOID *) {}

class InvariantsTest : public ::testing::Test {
 protected:
  void SetUp() override { boot_.Play(); }
  SimulatedBoot boot_{BoardSetup{}};
};

TEST_F(InvariantsTest, SoundBootBreaksNothing) {
  EXPECT_TRUE(sim::CheckInvariants(boot_).empty());
}

TEST_F(InvariantsTest, StoreToAnotherPadIsReported) {
  RegisterWrite32(PrivateRegisterAddress(0x6B, 0x600), 0);
  EXPECT_TRUE(Reports(boot_, "does not name"));
}

TEST_F(InvariantsTest, OutcomeCarriesWhatWasBroken) {
  EXPECT_TRUE(sim::OutcomeOf(boot_).brokenInvariants.empty());
  RegisterWrite32(PrivateRegisterAddress(0x6B, 0x600), 0);
  const sim::BootOutcome outcome = sim::OutcomeOf(boot_);
  ASSERT_EQ(outcome.brokenInvariants.size(), 1U);
  EXPECT_NE(sim::OutcomeText(outcome).find("broken invariant: access to a "
                                           "register the driver does not name"),
            std::string::npos);
  EXPECT_EQ(sim::OutcomeJson(outcome, false)["broken_invariants"].size(), 1U);
}

TEST_F(InvariantsTest, AccessOfTheWrongWidthIsReported) {
  RegisterRead32(PciConfigAddress(0, 31, 0, 0x02));
  EXPECT_TRUE(Reports(boot_, "does not name"));
}

TEST(Invariants, GppB0StoreWithoutHostOwnershipIsReported) {
  BoardSetup setup;
  setup.gppB0.owner = 2;
  SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_TRUE(sim::CheckInvariants(boot).empty());
  RegisterRead32(PrivateRegisterAddress(0x6E, 0x030));
  RegisterWrite32(PrivateRegisterAddress(0x6E, 0x790), 0x44000200);
  EXPECT_TRUE(Reports(boot, "without the host owning it"));
}

// Any store of the driver to a pad's DW0 or DW1 needs the driver's last
// read of that pad's ownership to have shown the host owning it.
TEST(Invariants, StoreToAnyPadNotSeenHostOwnedIsReported) {
  const facts::GpioPad kGppK1 = facts::kGppK[1];
  const facts::GpioPad kGppA0 = {0, 0};
  const struct {
    facts::GpioPad pad;
    unsigned dw;
    uint8_t strapOwner;  // of GPP_K1
    bool reported;
  } cases[] = {
      {kGppK1, 0, 0, false},  // read as host-owned while the riser was read
      {kGppK1, 1, 0, false},        {kGppK1, 0, 1, true}, {kGppK1, 1, 3, true},
      {kGppA0, 0, 0, true},  // its ownership never read
      {facts::kGppB0, 1, 0, false},
  };
  for (const auto &c : cases) {
    BoardSetup setup;
    setup.strapOwners[1] = c.strapOwner;
    SimulatedBoot boot(setup);
    boot.Play();
    const uint64_t address = facts::PadDw0(facts::Series::H, c.pad) + 4 * c.dw;
    RegisterWrite32(address, 0x44000200);
    EXPECT_EQ(Reports(boot, "without the host owning it"), c.reported)
        << sim::Hex(address) << " owner " << int{c.strapOwner};
  }
}

TEST_F(InvariantsTest, CommandRegisterLeftChangedIsReported) {
  RegisterWrite8(PciConfigAddress(PciAddress16{0x0200}, 0x04), 0x07);
  EXPECT_TRUE(Reports(boot_, "does not end as it began"));
  EXPECT_TRUE(Reports(boot_, "not written back as its probe read it"));
}

TEST_F(InvariantsTest, ProbeThatForgetsItsRestoreIsReportedAtTheNextProbe) {
  const auto command = PciConfigAddress(PciAddress16{0x0200}, 0x04);
  const UINT8 before = RegisterRead8(command);
  RegisterWrite8(command, before | 0x07);  // a probe that never restores
  RegisterWrite8(command, RegisterRead8(command));  // the next one restores
  EXPECT_TRUE(Reports(boot_, "not written back as its probe read it"));
}

TEST_F(InvariantsTest, RecordBufferNeverFreedIsReported) {
  VOID *buffer = nullptr;
  UINT16 value = 0;
  boot_.Board().Services().smbios.Interface()->ReadRecordByType(9, 1, &buffer,
                                                                &value);
  EXPECT_TRUE(Reports(boot_, "freed 0 times"));
  boot_.Board().Firmware().Memory().FreePool(buffer);
}

TEST_F(InvariantsTest, NotifyThatKeepsItsEventOpenIsReported) {
  EFI_EVENT event = nullptr;
  boot_.Board().Firmware().BootServices()->CreateEvent(
      EVT_NOTIFY_SIGNAL, TPL_CALLBACK, KeepsItsEventOpen, nullptr, &event);
  boot_.Board().Firmware().BootServices()->SignalEvent(event);
  EXPECT_TRUE(Reports(boot_, "left its event open"));
}

TEST(Invariants, HooksLeftAfterAnErrorEntryAreReported) {
  SimulatedBoot boot(BoardSetup{});
  boot.Board().Firmware().Calls().FailCall("RegisterProtocolNotify",
                                           EFI_OUT_OF_RESOURCES, 2);
  boot.RunEntry();
  EXPECT_TRUE(sim::CheckInvariants(boot).empty());
  boot.Board().Firmware().Protocols().Install(kBoardServiceProtocolGuid,
                                              &BoardServiceProtocol);
  EXPECT_TRUE(Reports(boot, "still installed after an error entry"));
}

}  // namespace
