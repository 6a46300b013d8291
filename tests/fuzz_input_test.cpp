// The fuzzers' input decoder: every checked-in seed and reproducer decodes to
// a scenario that reads back as written, replays to the same boot and boots
// soundly; the seeds mean what make-seeds.py says they mean; and the layout's
// menus and limits decode as fuzz/README.md lays them out.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/outcome/outcome_json.h"
#include "sim/scenario/scenario_file.h"
#include "sim/scenario/scenario_json.h"
#include "tests/fuzz_input_files.h"
#include "tests/test_paths.h"

namespace {

using fuzz::InputMode;
using sim::BoardSetup;
using sim::BootStep;
using sim::OutsideService;
using Kind = BootStep::Kind;
using Bytes = std::vector<uint8_t>;

struct Played {
  nlohmann::ordered_json outcome;
  std::vector<std::string> broken;
};

Played Play(const BoardSetup &setup) {
  sim::SimulatedBoot boot(setup);
  boot.Play();
  return {sim::OutcomeJson(sim::OutcomeOf(boot), false),
          sim::CheckInvariants(boot, setup.hostileReads
                                         ? sim::HardwareReads::Hostile
                                         : sim::HardwareReads::Modelled)};
}

TEST(FuzzInput, EveryCheckedInInputReadsBackAndReplaysAlike) {
  const std::vector<FuzzInputFile> inputs = CheckedInFuzzInputs();
  ASSERT_GE(inputs.size(), 16U);
  for (const FuzzInputFile &input : inputs) {
    SCOPED_TRACE(input.path);
    const BoardSetup decoded =
        fuzz::DecodeInput(ReadInputFile(input.path), input.mode);
    EXPECT_EQ(decoded.hostileReads.has_value(),
              input.mode == InputMode::Hostile);
    const std::string written = sim::ScenarioJson(decoded).dump(2);
    BoardSetup read;
    const auto refusal = sim::ParseScenario(written, read);
    ASSERT_FALSE(refusal.has_value()) << *refusal << "\n" << written;
    EXPECT_TRUE(read == decoded) << written;

    const Played fromInput = Play(decoded);
    const Played fromFile = Play(read);
    EXPECT_EQ(fromInput.outcome, fromFile.outcome);
    // The seeds and reproducers are no findings.
    for (const std::string &broken : fromInput.broken) {
      ADD_FAILURE() << broken;
    }
  }
}

// The all-zero input is the default board and boot; a hostile one's reads
// are whatever follows the 19 bytes of its scenario.
TEST(FuzzInput, ZeroBytesAreTheDefaultBoardAndBoot) {
  for (size_t size : {0, 1, 18, 19, 64}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(fuzz::DecodeInput(Bytes(size, 0), InputMode::Board) ==
                BoardSetup{});
  }
  BoardSetup hostile;
  hostile.hostileReads = Bytes{};
  EXPECT_TRUE(fuzz::DecodeInput({}, InputMode::Hostile) == hostile);
  Bytes input(19, 0);
  input.insert(input.end(), {0x86, 0x80, 0x00});
  hostile.hostileReads = Bytes{0x86, 0x80, 0x00};
  EXPECT_TRUE(fuzz::DecodeInput(input, InputMode::Hostile) == hostile);
}

// The default board's scenario up to its register overrides: series, ID,
// straps, owners, GPP_B0, DW0, the P2SB field, LAN, slots and flags.
Bytes Head(uint16_t p2sb = 0, uint8_t flags = 0) {
  return {0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          static_cast<uint8_t>(p2sb),
          static_cast<uint8_t>(p2sb >> 8),
          0,
          0,
          flags};
}

Bytes operator+(Bytes head, const Bytes &tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

struct Decoding {
  const char *what;
  std::function<Bytes()> input;  // a seed's file or bytes in the layout
  InputMode mode;
  std::function<void(BoardSetup &)> expect;  // from the default board
};

void PrintTo(const Decoding &decoding, std::ostream *out) {
  *out << decoding.what;
}

class FuzzInputDecoding : public ::testing::TestWithParam<Decoding> {};

TEST_P(FuzzInputDecoding, GivesTheBoardTheLayoutNames) {
  const Decoding &decoding = GetParam();
  const Bytes input = decoding.input();
  BoardSetup expected;
  decoding.expect(expected);
  const BoardSetup decoded = fuzz::DecodeInput(input, decoding.mode);
  EXPECT_TRUE(decoded == expected)
      << "decoded:\n"
      << sim::ScenarioJson(decoded).dump(2) << "\nexpected:\n"
      << sim::ScenarioJson(expected).dump(2);
}

std::function<Bytes()> Seed(const std::string &mode, const std::string &name) {
  return [=] {
    return ReadInputFile(std::string(testpaths::kFuzzDir) + "/corpus/" + mode +
                         "/" + name);
  };
}

std::function<Bytes()> Literal(Bytes bytes) {
  return [=] { return bytes; };
}

void Unchanged(BoardSetup &) {}

INSTANTIATE_TEST_SUITE_P(
    Seeds, FuzzInputDecoding,
    ::testing::Values(
        Decoding{"default-varnex-w", Seed("board", "default-varnex-w"),
                 InputMode::Board, Unchanged},
        Decoding{"varnex-n-unlocked", Seed("board", "varnex-n-unlocked"),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.straps = {0, 0, 1, 1};
                   s.gppB0.txLocked = false;
                 }},
        Decoding{"lp-series", Seed("board", "lp-series"), InputMode::Board,
                 [](BoardSetup &s) {
                   s.pchDeviceId = 0x9D84;
                   s.slotRecords = 4;
                   s.smmBase = true;
                   s.configurationTables = {sim::ConfigurationTable::Acpi20,
                                            sim::ConfigurationTable::HobList};
                 }},
        Decoding{"no-riser-two-slots", Seed("board", "no-riser-two-slots"),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.straps = {1, 0, 0, 0};
                   s.strapOwners = {0, 2, 0, 0};
                   s.slotRecords = 2;
                 }},
        Decoding{"smbios-only", Seed("board", "smbios-only"), InputMode::Board,
                 [](BoardSetup &s) {
                   s.steps = {{Kind::ReadyToBoot},
                              {Kind::Entry},
                              {Kind::Entry4Exact},
                              {Kind::Install, OutsideService::Smbios},
                              {Kind::ReadyToBoot},
                              {Kind::Entry4}};
                 }},
        Decoding{"preinstalled-order", Seed("board", "preinstalled-order"),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.steps = {{Kind::Install, OutsideService::PciLocation},
                              {Kind::Install, OutsideService::Smbios},
                              {Kind::Entry4},
                              {Kind::ReadyToBoot},
                              {Kind::Entry},
                              {Kind::Entry4},
                              {Kind::Install, OutsideService::SetupStrings},
                              {Kind::ReadyToBoot},
                              {Kind::ReadyToBoot},
                              {Kind::Entry4Exact}};
                 }},
        Decoding{
            "entry-fails", Seed("board", "entry-fails"), InputMode::Board,
            [](BoardSetup &s) {
              s.faults = {{"RegisterProtocolNotify", EFI_OUT_OF_RESOURCES, 2}};
            }},
        Decoding{
            "service-faults", Seed("board", "service-faults"), InputMode::Board,
            [](BoardSetup &s) {
              s.faults = {
                  {"SmbiosRecordService.ReadRecordByType", EFI_NOT_FOUND, 1},
                  {"SmbiosRecordService.DeleteRecord", EFI_DEVICE_ERROR, 0},
                  {"LocateProtocol", EFI_WARN_UNKNOWN_GLYPH, 3},
                  {"SetupStringService.ReplaceString", EFI_DEVICE_ERROR, 1}};
            }},
        Decoding{"p2sb-error-lan-moved", Seed("board", "p2sb-error-lan-moved"),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.p2sb = sim::P2sbBehaviour::Error;
                   s.lan = {sim::DeviceKind::Other, sim::DeviceKind::I210};
                   s.registers = {{0xE00E0018, 0x00040400},
                                  {0xE0300010, 0xB0000000}};
                   s.bridgeKeys[403] = 0x00E0;
                 }},
        Decoding{"p2sb-absent-owned-pad",
                 Seed("board", "p2sb-absent-owned-pad"), InputMode::Board,
                 [](BoardSetup &s) {
                   s.p2sb = sim::P2sbBehaviour::Absent;
                   s.gppB0.owner = 2;
                   s.lan = {sim::DeviceKind::None, sim::DeviceKind::I210};
                 }},
        Decoding{"record-names-other-handle",
                 Seed("board", "record-names-other-handle"), InputMode::Board,
                 [](BoardSetup &s) {
                   s.recordCopies = {{3, {9, 0x11, 0x00, 0x09, 1, 0, 0, 0}}};
                 }},
        Decoding{"hostile short-input", Seed("hostile", "short-input"),
                 InputMode::Hostile, [](BoardSetup &s) {
                   s.gppB0.txLocked = false;
                   s.steps = {{Kind::Entry},
                              {Kind::ReadyToBoot},
                              {Kind::Install, OutsideService::Smbios},
                              {Kind::Install, OutsideService::PciLocation},
                              {Kind::Entry4}};
                   s.hostileReads = Bytes{0x01, 0xA3};
                 }}));

INSTANTIATE_TEST_SUITE_P(
    Layout, FuzzInputDecoding,
    ::testing::Values(
        // Only one value of the P2SB field is the costly stuck P2SB, and only
        // then may a status override keep its busy bit. Bits 8..5 of either
        // value (0xA) give 0xA ^ 3 busy reads.
        Decoding{"stuck P2SB keeps a busy status",
                 Literal(Head(0xA75C) + Bytes{1, 11, 0xFF, 0xFF, 0xFF, 0xFF}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.p2sb = sim::P2sbBehaviour::Stuck;
                   s.p2sbBusyReads = 9;
                   s.registers = {{0xE00F90D8, 0xFFFFFFFF}};
                 }},
        Decoding{"any other P2SB drops the busy bit",
                 Literal(Head(0xA75D) + Bytes{1, 11, 0xFF, 0xFF, 0xFF, 0xFF}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.p2sb = sim::P2sbBehaviour::Absent;
                   s.p2sbBusyReads = 9;
                   s.registers = {{0xE00F90D8, 0xFFFFFFFE}};
                 }},
        Decoding{"P2SB error completion from the upper bits of its field",
                 Literal(Head(0x0E)), InputMode::Board,
                 [](BoardSetup &s) {
                   s.p2sb = sim::P2sbBehaviour::Error;
                   s.p2sbCompletion = 2;
                 }},
        Decoding{"P2SB busy reads from bits 8..5 of its field",
                 Literal(Head(0x01E0)), InputMode::Board,
                 [](BoardSetup &s) { s.p2sbBusyReads = 0xF ^ 3; }},
        Decoding{"raw register of either window",
                 Literal(Head() + Bytes{2, 0x40, 0x6E, 0x37, 0x12, 1, 0, 0, 0,
                                        0x41, 0x00, 0x03, 0x13, 2, 0, 0, 0}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.registers = {{0xFD6E1234, 1}, {0xE0300010, 2}};
                 }},
        Decoding{"raw device ID and MACs and all-zero reads",
                 Literal(Bytes{3, 0, 0x34, 0x12, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0,
                               0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0,
                               0x0E}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.pchDeviceId = 0x1234;
                   s.straps = {0, 0, 0, 0};
                   s.macs = {sim::MacAddress{1, 2, 3, 4, 5, 6},
                             sim::MacAddress{7, 8, 9, 10, 11, 12}};
                   s.readsZero = true;
                 }},
        Decoding{"bridges and record copies and reads without a buffer",
                 Literal(Head() + Bytes{0, 3, 7, 0x00, 0x05, 5, 0xF1, 0, 0, 1,
                                        2, 3, 4}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.bridgeKeys = {{8, 0x0500}, {403, 0x0200}};
                   s.recordReadsWithoutBuffer = true;
                   s.recordCopies = {{1, {1, 2, 3, 4}}};
                 }},
        // Twelve steps: installs, signals and calls beyond their limits are
        // dropped, the entry is named once.
        Decoding{"step limits",
                 Literal(Head() + Bytes{0, 0, 0, 0, 12, 0, 0, 0, 2, 2, 2, 2, 1,
                                        3, 7, 3, 3}),
                 InputMode::Board,
                 [](BoardSetup &s) {
                   s.steps = {{Kind::Install, OutsideService::PciLocation},
                              {Kind::Install, OutsideService::PciLocation},
                              {Kind::ReadyToBoot},
                              {Kind::ReadyToBoot},
                              {Kind::ReadyToBoot},
                              {Kind::Entry},
                              {Kind::Entry4},
                              {Kind::Entry4Exact},
                              {Kind::Entry4}};
                 }},
        Decoding{"the entry first when the steps never name it",
                 Literal(Head() + Bytes{0, 0, 0, 0, 2, 2, 0x08}),
                 InputMode::Board, [](BoardSetup &s) {
                   s.steps = {{Kind::Entry},
                              {Kind::ReadyToBoot},
                              {Kind::Install, OutsideService::SetupStrings}};
                 }}));

// The menus the layout picks from, in the order the seeds were written with.
TEST(FuzzInput, RegisterPicksNameTheLayoutsRegisters) {
  constexpr uint64_t kMenu[] = {
      0xE00F8000, 0xFD6B0020, 0xFD6B0600, 0xFD6B0610, 0xFD6B0620, 0xFD6B0630,
      0xFD6E0030, 0xFD6E0790, 0xFD6E0088, 0xFD6E008C, 0xE00F9000, 0xE00F90D8,
      0xE00E0018, 0xE00E1018, 0xE0200000, 0xE0300000, 0xE0200004, 0xE0300004,
      0xE0200010, 0xE0300010, 0xE0200014};
  for (uint8_t pick = 0; pick < std::size(kMenu); ++pick) {
    const BoardSetup decoded = fuzz::DecodeInput(
        Head() + Bytes{1, pick, 0x78, 0x56, 0x34, 0x12}, InputMode::Board);
    EXPECT_EQ(decoded.registers,
              (std::map<uint64_t, uint32_t>{{kMenu[pick], 0x12345678}}))
        << "pick " << unsigned{pick};
  }
}

// The seeds pin the picks they use; every pick must name a service that a
// scenario file accepts, and a status that is an error or a warning.
TEST(FuzzInput, FaultPicksNameFaultableServicesAndStatuses) {
  const std::vector<std::string> &faultable = sim::FaultableServices();
  std::set<std::string> services;
  std::set<EFI_STATUS> statuses;
  for (uint8_t pick = 0; pick < 8; ++pick) {
    const BoardSetup decoded = fuzz::DecodeInput(
        Head() + Bytes{0, 0, 0, 1, pick, pick, 4}, InputMode::Board);
    ASSERT_EQ(decoded.faults.size(), 1U);
    const sim::InjectedFault &fault = decoded.faults[0];
    EXPECT_NE(std::find(faultable.begin(), faultable.end(), fault.service),
              faultable.end())
        << fault.service;
    EXPECT_NE(fault.status, EFI_SUCCESS);
    EXPECT_EQ(fault.occurrence, 4U);
    services.insert(fault.service);
    statuses.insert(fault.status);
  }
  EXPECT_EQ(services.size(), 8U);
  EXPECT_EQ(statuses.size(), 8U);
}

}  // namespace
