// The riser-dependent actions end to end: which slot records survive and
// which Setup strings are replaced, for each riser and PCH series.
#include <optional>
#include <string>
#include <vector>

#include "driver/riser.h"
#include "platform/guids.h"
#include "tests/board_test_support.h"

namespace {

using sim::BoardSetup;
using sim::OutsideService;
using sim::SimulatedBoot;

constexpr uint16_t kH = 0xA305;
constexpr uint16_t kLp = 0x9D84;
constexpr uint16_t kUndetected = 0x1234;

void FailNextLookup(SimulatedBoot &boot) {
  boot.Board().Firmware().Calls().FailCall(
      "LocateProtocol", EFI_NOT_FOUND, CountCalls(boot, "LocateProtocol") + 1);
}

struct RiserCase {
  const char *name;
  uint16_t deviceId;
  std::array<uint8_t, 4> straps;
  std::array<uint8_t, 4> owners;
  uint8_t riser;
  std::vector<unsigned> deletedInOrder;  // positions in the original table
  const char *model;                     // null: no string replaced
};

std::ostream &operator<<(std::ostream &out, const RiserCase &c) {
  return out << c.name;
}

class RiserActionsTest : public ::testing::TestWithParam<RiserCase> {};

TEST_P(RiserActionsTest, PrunesSlotsAndRelabelsSetupForTheFittedRiser) {
  const RiserCase &c = GetParam();
  BoardSetup setup;
  setup.pchDeviceId = c.deviceId;
  setup.straps = c.straps;
  setup.strapOwners = c.owners;
  SimulatedBoot boot(setup);
  boot.Play();

  EXPECT_EQ(boot.EntryStatus(), EFI_SUCCESS);
  std::vector<uint16_t> expectedHandles;
  for (unsigned position : c.deletedInOrder) {
    expectedHandles.push_back(boot.OriginalSlotHandles()[position - 1]);
  }
  std::vector<uint16_t> deleted;
  for (const auto &call :
       boot.Board().Firmware().Calls().To("SmbiosRecordService.DeleteRecord")) {
    deleted.push_back(static_cast<uint16_t>(call.args[0]));
  }
  EXPECT_EQ(deleted, expectedHandles);
  EXPECT_EQ(boot.SlotRecordsLeft().size(), 1U);

  const auto &replacements =
      boot.Board().Services().setupStrings.Replacements();
  if (c.model == nullptr) {
    EXPECT_TRUE(replacements.empty());
  } else {
    const std::string model = c.model;
    ASSERT_EQ(replacements.size(), 2U);
    EXPECT_EQ(replacements[0].name, "Setup");
    EXPECT_EQ(replacements[0].id, 0x1A52U);
    EXPECT_EQ(replacements[0].text, model + " OPROM");
    EXPECT_EQ(replacements[1].id, 0x1A53U);
    EXPECT_EQ(replacements[1].text,
              "Enable or Disable " + model + " OPROM option.");
  }
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 0U);
  ExpectSoundBoot(boot);
  // The straps as the driver reads them on this board, once more.
  EXPECT_EQ(ReadRiserId(), c.riser);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, RiserActionsTest,
    ::testing::Values(
        RiserCase{"VarnexW", kH, {0, 1, 1, 1}, {}, 14, {3, 1}, "VARNEX-W"},
        RiserCase{"VarnexN", kH, {0, 0, 1, 1}, {}, 12, {2, 1}, "VARNEX-N"},
        RiserCase{"NoRiser", kH, {1, 1, 1, 1}, {}, 15, {3, 2}, nullptr},
        RiserCase{
            "LpSeriesHasNoStraps", kLp, {0, 1, 1, 1}, {}, 0, {3, 2}, nullptr},
        RiserCase{"UndetectedSeriesReadsTheHLayout",
                  kUndetected,
                  {0, 1, 1, 1},
                  {},
                  14,
                  {3, 1},
                  "VARNEX-W"},
        // A strap the host cannot read must not borrow its neighbour's
        // level and name a riser.
        RiserCase{"StrapOwnedElsewhereNamesNoRiser",
                  kH,
                  {0, 1, 1, 1},
                  {0, 0, 1, 0},
                  0,
                  {3, 2},
                  nullptr},
        RiserCase{"FirstStrapOwnedElsewhere",
                  kH,
                  {0, 0, 1, 1},
                  {2, 0, 0, 0},
                  0,
                  {3, 2},
                  nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SlotRecords, FewerRecordsSkipTheMissingInstance) {
  BoardSetup setup;  // riser 14: instances 3 then 1
  setup.slotRecords = 2;
  SimulatedBoot boot(setup);
  boot.Play();
  const auto reads = boot.Board().Firmware().Calls().To(
      "SmbiosRecordService.ReadRecordByType");
  ASSERT_EQ(reads.size(), 2U);
  EXPECT_EQ(reads[0].args[1], 3U);
  EXPECT_EQ(reads[0].status, EFI_NOT_FOUND);
  EXPECT_EQ(reads[1].args[1], 1U);
  EXPECT_EQ(boot.SlotRecordsLeft(), std::vector<unsigned>{2});
  EXPECT_EQ(CountCalls(boot, "FreePool"), 1U);
  EXPECT_EQ(boot.Board().Firmware().Memory().PoolBuffersHandedOut(), 1U);
  ExpectSoundBoot(boot);
}

TEST(SlotRecords, EveryReadBufferIsFreedOnceAndOtherTypesSurvive) {
  SimulatedBoot boot(BoardSetup{});
  const size_t otherRecords = boot.Board().Services().smbios.Table().size() -
                              boot.OriginalSlotHandles().size();
  boot.Play();
  EXPECT_EQ(boot.Board().Firmware().Memory().PoolBuffersHandedOut(), 2U);
  EXPECT_EQ(CountCalls(boot, "FreePool"), 2U);
  EXPECT_EQ(boot.Board().Services().smbios.Table().size(), otherRecords + 1);
  ExpectSoundBoot(boot);
}

TEST(SlotRecords, ReadThatSucceedsWithoutABufferDeletesNothing) {
  SimulatedBoot boot(BoardSetup{});
  boot.Board().Services().smbios.SetReadSucceedsWithoutBuffer(true);
  boot.Play();
  EXPECT_EQ(CountCalls(boot, "SmbiosRecordService.ReadRecordByType"), 2U);
  EXPECT_EQ(CountCalls(boot, "SmbiosRecordService.DeleteRecord"), 0U);
  EXPECT_EQ(CountCalls(boot, "FreePool"), 0U);
  EXPECT_EQ(boot.SlotRecordsLeft(), (std::vector<unsigned>{1, 2, 3}));
  ExpectSoundBoot(boot);
}

TEST(SlotRecords, ServiceThatVanishesBeforeTheLookupIsSkipped) {
  SimulatedBoot boot(BoardSetup{});
  boot.RunEntry();
  FailNextLookup(boot);
  boot.Install(OutsideService::Smbios);
  // The second deletion is still attempted after the first lookup failed.
  EXPECT_EQ(CountCalls(boot, "SmbiosRecordService.ReadRecordByType"), 1U);
  EXPECT_EQ(boot.SlotRecordsLeft(), (std::vector<unsigned>{2, 3}));
  // A reinstallation does not prune again: the event was closed first.
  boot.Install(OutsideService::Smbios);
  EXPECT_EQ(CountCalls(boot, "SmbiosRecordService.ReadRecordByType"), 1U);
  ExpectSoundBoot(boot);
}

TEST(SetupStrings, FailedLookupWaitsForTheNextInstallation) {
  SimulatedBoot boot(BoardSetup{});
  boot.RunEntry();
  FailNextLookup(boot);
  boot.Install(OutsideService::SetupStrings);
  EXPECT_TRUE(boot.Board().Services().setupStrings.Replacements().empty());
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 3U);

  boot.Install(OutsideService::SetupStrings);
  boot.Install(OutsideService::SetupStrings);
  EXPECT_EQ(boot.Board().Services().setupStrings.Replacements().size(), 2U);
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 2U);
  ExpectSoundBoot(boot);
}

TEST(SetupStrings, NoRiserClosesTheEventAndReplacesNothing) {
  BoardSetup setup;
  setup.straps = {0, 0, 0, 0};
  SimulatedBoot boot(setup);
  boot.RunEntry();
  boot.Install(OutsideService::SetupStrings);
  EXPECT_EQ(CountCalls(boot, "CloseEvent"), 1U);
  EXPECT_TRUE(boot.Board().Services().setupStrings.Replacements().empty());
  EXPECT_EQ(boot.Board().Services().setupStrings.Strings().at(0x1A52),
            "Riser OPROM");
}

// Each notification closes its event before it reads the straps, so that a
// second installation during the read cannot run it again.
TEST(Services, EventIsClosedBeforeTheStrapsAreRead) {
  for (OutsideService service :
       {OutsideService::SetupStrings, OutsideService::Smbios}) {
    SimulatedBoot boot(BoardSetup{});
    boot.RunEntry();
    boot.Board().Chipset().Trace().Clear();
    boot.Install(service);
    const auto closes = boot.Board().Firmware().Calls().To("CloseEvent");
    const auto &accesses = boot.Board().Chipset().Trace().Entries();
    ASSERT_EQ(closes.size(), 1U);
    ASSERT_FALSE(accesses.empty());
    EXPECT_LT(closes[0].sequence, accesses.front().sequence);
  }
}

TEST(Services, InstalledBeforeTheEntryNeverPrunesOrRelabels) {
  BoardSetup setup;
  setup.steps =
      sim::StepsFor({OutsideService::Smbios, OutsideService::SetupStrings},
                    {OutsideService::PciLocation});
  SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_EQ(boot.SlotRecordsLeft(), (std::vector<unsigned>{1, 2, 3}));
  EXPECT_TRUE(boot.Board().Services().setupStrings.Replacements().empty());
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(),
            2U);  // never signalled
}

TEST(Services, InstallationOrderDoesNotChangeTheOutcome) {
  const std::vector<std::vector<OutsideService>> orders = {
      {OutsideService::SetupStrings, OutsideService::Smbios,
       OutsideService::PciLocation},
      {OutsideService::Smbios, OutsideService::PciLocation,
       OutsideService::SetupStrings}};
  for (const auto &order : orders) {
    BoardSetup setup;
    setup.steps = sim::StepsFor({}, order);
    SimulatedBoot boot(setup);
    boot.Play();
    EXPECT_EQ(boot.SlotRecordsLeft(), std::vector<unsigned>{2});
    EXPECT_EQ(boot.Board().Services().setupStrings.Replacements().size(), 2U);
    EXPECT_EQ(boot.LastAnswer().status, EFI_SUCCESS);
    EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 0U);
    ExpectSoundBoot(boot);
  }
}

// A service whose lookup succeeds with a null interface cannot be called:
// nothing is done for it, not even reading the straps.
TEST(Services, ASetupStringServiceWithANullInterfaceKeepsItsEvent) {
  SimulatedBoot boot(BoardSetup{});
  ASSERT_EQ(boot.RunEntry(), EFI_SUCCESS);
  const size_t openAtEntry = boot.Board().Firmware().Events().OpenCount();
  boot.Board().Chipset().Trace().Clear();
  ASSERT_EQ(EFI_SUCCESS, boot.Board().Firmware().Protocols().Install(
                             kSetupStringServiceGuid, nullptr));
  EXPECT_EQ(CountCalls(boot, "LocateProtocol"),
            2U);  // SMM base, then the service
  EXPECT_EQ(CountCalls(boot, "CloseEvent"), 0U);
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), openAtEntry);
  EXPECT_TRUE(boot.Board().Chipset().Trace().Entries().empty());
}

// The event is closed first; then each of the two deletions locates the
// service, finds no interface and stops there.
TEST(Services, AnSmbiosServiceWithANullInterfaceIsNeverCalled) {
  SimulatedBoot boot(BoardSetup{});
  ASSERT_EQ(boot.RunEntry(), EFI_SUCCESS);
  const size_t openAtEntry = boot.Board().Firmware().Events().OpenCount();
  ASSERT_EQ(EFI_SUCCESS, boot.Board().Firmware().Protocols().Install(
                             kSmbiosRecordServiceGuid, nullptr));
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), openAtEntry - 1);
  EXPECT_EQ(CountCalls(boot, "LocateProtocol"), 3U);  // SMM base, then two
  EXPECT_EQ(CountCalls(boot, "FreePool"), 0U);
  EXPECT_EQ(boot.Board().Firmware().Memory().OutstandingPoolBuffers(), 0U);
}

TEST(Services, NoneInstalledLeavesNothingCalledThroughNull) {
  BoardSetup setup;
  setup.steps = sim::StepsFor({}, {});
  SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_EQ(boot.EntryStatus(), EFI_SUCCESS);
  EXPECT_EQ(boot.LastAnswer().status, EFI_NOT_FOUND);
  EXPECT_EQ(boot.SlotRecordsLeft(), (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(boot.Board().Firmware().Events().OpenCount(), 2U);
  ExpectSoundBoot(boot);
}

}  // namespace
