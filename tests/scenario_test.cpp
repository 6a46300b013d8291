// Scenario files as the library reads and writes them: every setup written
// out reads back the same, and the knobs beyond the board's registers (the
// order of the boot, failed calls, what the services answer, hostile
// reads) reach the boot they describe.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/guids.h"
#include "sim/outcome/boot_outcome.h"
#include "sim/scenario/scenario_file.h"
#include "sim/scenario/scenario_json.h"
#include "tests/board_test_support.h"
#include "tests/scenario_cases.h"
#include "tests/test_paths.h"

namespace {

using sim::BoardSetup;
using sim::BootStep;
using sim::OutsideService;
using Kind = BootStep::Kind;

BoardSetup Parsed(const std::string &text) {
  BoardSetup setup;
  const auto refusal = sim::ParseScenario(text, setup);
  EXPECT_FALSE(refusal.has_value()) << *refusal;
  return setup;
}

void ExpectRoundTrip(const BoardSetup &setup) {
  const std::string written = sim::ScenarioJson(setup).dump(2);
  BoardSetup read;
  read.slotRecords = 99;  // every key is written, so nothing survives
  const auto refusal = sim::ParseScenario(written, read);
  ASSERT_FALSE(refusal.has_value()) << *refusal << "\n" << written;
  EXPECT_TRUE(read == setup) << written;
}

TEST(ScenarioFile, EveryExampleReadsBackAsWritten) {
  size_t examples = 0;
  for (const auto &entry :
       std::filesystem::directory_iterator(testpaths::kExamplesDir)) {
    BoardSetup setup;
    const auto refusal = sim::LoadScenario(entry.path().string(), setup);
    ASSERT_FALSE(refusal.has_value()) << *refusal;
    SCOPED_TRACE(entry.path().filename().string());
    ExpectRoundTrip(setup);
    ++examples;
  }
  EXPECT_GE(examples, 11U);
}

TEST(ScenarioFile, EveryKnobReadsBackAsWritten) {
  BoardSetup setup;
  setup.pchDeviceId = 0x1234;
  setup.p2sb = sim::P2sbBehaviour::Error;
  setup.p2sbCompletion = 3;
  setup.p2sbBusyReads = 0x0FFFFFFF;
  setup.lan = {sim::DeviceKind::None, sim::DeviceKind::Other};
  setup.registers = {{0xFD6E008C, 5}, {0xE00E0018, 0x00040400}};
  setup.bridgeKeys[8] = 0x00F9;
  setup.bridgeKeys[77] = 0x0300;
  setup.recordCopies = {{3, {9, 0x11, 0, 9, 1}}};
  setup.recordReadsWithoutBuffer = true;
  setup.faults = {{"LocateProtocol", EFI_WARN_UNKNOWN_GLYPH, 3},
                  {"SmbiosRecordService.DeleteRecord", EFI_DEVICE_ERROR, 0}};
  setup.configurationTables = {sim::ConfigurationTable::HobList,
                               sim::ConfigurationTable::Acpi20};
  setup.steps = {{Kind::ReadyToBoot},
                 {Kind::Install, OutsideService::Smbios},
                 {Kind::Entry},
                 {Kind::Entry4Exact},
                 {Kind::Install, OutsideService::Smbios}};
  setup.hostileReads = std::vector<uint8_t>{0x86, 0x80, 0x00};
  ExpectRoundTrip(setup);
  setup.hostileReads = std::vector<uint8_t>{};
  ExpectRoundTrip(setup);
}

TEST(ScenarioFile, WriterNamesTheSchemaFirstWhenAsked) {
  const auto written = sim::ScenarioJson(BoardSetup{}, "../scenario.json");
  EXPECT_EQ(written.begin().key(), "$schema");
  EXPECT_EQ(written["$schema"], "../scenario.json");
  EXPECT_FALSE(sim::ScenarioJson(BoardSetup{}).contains("$schema"));
  EXPECT_TRUE(Parsed(written.dump()) == BoardSetup{})
      << "the reader ignores it";
}

TEST(ScenarioFile, ServiceListsBecomeTheDefaultOrderOfSteps) {
  const BoardSetup setup =
      Parsed(R"({"preinstalled": ["smbios"], "services": ["setup_strings"]})");
  EXPECT_EQ(setup.steps, (std::vector<BootStep>{
                             {Kind::Install, OutsideService::Smbios},
                             {Kind::Entry},
                             {Kind::Install, OutsideService::SetupStrings},
                             {Kind::ReadyToBoot},
                             {Kind::ReadyToBoot},
                             {Kind::Entry4}}));
  // Preinstalled alone keeps the default's other services after the entry.
  EXPECT_EQ(
      Parsed(R"({"preinstalled": ["pci_location"]})").steps,
      sim::StepsFor({OutsideService::PciLocation},
                    {OutsideService::Smbios, OutsideService::SetupStrings}));
}

TEST(ScenarioFile, FaultStatusesByNameOrNumber) {
  const BoardSetup setup = Parsed(R"({"faults": [
      {"service": "CreateEvent", "status": "EFI_OUT_OF_RESOURCES", "call": 2},
      {"service": "InSmm", "status": "0x8000000000000007"}]})");
  ASSERT_EQ(setup.faults.size(), 2U);
  EXPECT_EQ(setup.faults[0],
            (sim::InjectedFault{"CreateEvent", EFI_OUT_OF_RESOURCES, 2}));
  EXPECT_EQ(setup.faults[1],
            (sim::InjectedFault{"InSmm", EFI_DEVICE_ERROR, 0}));
}

using testsupport::ScenarioCase;

class ScenarioRefusal : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(ScenarioRefusal, NamesTheKeyAndWhatIsAccepted) {
  BoardSetup setup;
  setup.slotRecords = 7;
  const auto refusal = sim::ParseScenario(GetParam().text, setup);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_NE(refusal->find(GetParam().names), std::string::npos) << *refusal;
  EXPECT_EQ(setup.slotRecords, 7U) << "a refused scenario changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScenarioRefusal,
    ::testing::ValuesIn(testsupport::ScenarioCases("refused")),
    testsupport::ScenarioCaseName);

// Edges of what each key accepts; each reads back as written.
class ScenarioAccepted : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(ScenarioAccepted, ReadsBackAsWritten) {
  ExpectRoundTrip(Parsed(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScenarioAccepted,
    ::testing::ValuesIn(testsupport::ScenarioCases("accepted")),
    testsupport::ScenarioCaseName);

class ScenarioPlay : public ::testing::Test {
 protected:
  sim::BootOutcome Play(const std::string &text) {
    boot_.emplace(Parsed(text));
    boot_->Play();
    return sim::OutcomeOf(*boot_);
  }
  std::optional<sim::SimulatedBoot> boot_;
};

TEST_F(ScenarioPlay, StepsGiveTheOrderOfTheBoot) {
  // The SMBIOS service before the entry never signals the notification.
  const sim::BootOutcome before = Play(
      R"({"steps": ["install smbios", "entry", "install setup_strings",
                    "entry4_exact"]})");
  EXPECT_EQ(before.slotRecordsLeft, (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(before.setupStrings.size(), 2U);
  EXPECT_TRUE(before.boardService.exactBuffers);
  EXPECT_EQ(before.boardService.status, EFI_NOT_FOUND);
  EXPECT_TRUE(before.sidebandMessages.empty()) << "never ready to boot";
  ExpectSoundBoot(*boot_);
}

TEST_F(ScenarioPlay, FaultsFailTheCallsTheyName) {
  const sim::BootOutcome outcome = Play(R"({"faults": [
      {"service": "RegisterProtocolNotify", "status": "EFI_OUT_OF_RESOURCES",
       "call": 2}]})");
  EXPECT_EQ(outcome.entryStatus, EFI_OUT_OF_RESOURCES);
  EXPECT_FALSE(outcome.boardService.installed);
  ExpectSoundBoot(*boot_);
}

TEST_F(ScenarioPlay, ServicesAnswerAsTheScenarioSays) {
  const sim::BootOutcome outcome = Play(R"({
      "bridge_keys": {"403": "0x00E0"},
      "record_copies": {"3": "09110009"},
      "configuration_tables": ["acpi20", "hob_list"]})");
  ASSERT_EQ(outcome.bridgeLookups.size(), 2U);
  EXPECT_EQ(outcome.bridgeLookups[1].key, 403U);
  EXPECT_EQ(outcome.bridgeLookups[1].bridge, 0x00E0);
  // Key 403 names the first bridge: the second list holds the first
  // controller's address too.
  EXPECT_EQ(outcome.boardService.second[6], 0x01);
  // The copy of instance 3 names the first record's handle.
  ASSERT_FALSE(outcome.slotRecordsDeleted.empty());
  EXPECT_EQ(outcome.slotRecordsDeleted[0].handle, 0x0900);
  EXPECT_EQ(boot_->Board().Firmware().SystemTable()->NumberOfTableEntries, 2U);
  ExpectSoundBoot(*boot_);
}

TEST_F(ScenarioPlay, HostileReadsTakeTheirBytesInOrder) {
  // The LPC device ID, then GPP_K0's ownership: owned by another agent.
  const sim::BootOutcome outcome =
      Play(R"({"hostile_reads": "05a3 01000000", "steps": ["entry",
               "install smbios"]})");
  ASSERT_GE(outcome.accesses.size(), 2U);
  EXPECT_EQ(outcome.accesses[0].value, 0xA305U);
  EXPECT_EQ(outcome.accesses[1].value, 0x00000001U);
  EXPECT_EQ(outcome.accesses.back().value, 0U) << "past the end reads 0";
}

}  // namespace
