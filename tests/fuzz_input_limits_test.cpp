// The limits of the fuzzers' input layout, seen through the encoder: what a
// setup beyond them comes back as, and which scenario keys the encoder
// cannot carry at all (each still decodes to what the encoder says it
// carried).
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "fuzz/input_encoder.h"
#include "sim/facts/board.h"
#include "sim/scenario/scenario_json.h"

namespace {

using fuzz::InputMode;
using sim::BoardSetup;
using sim::BootStep;
using sim::OutsideService;
using Kind = BootStep::Kind;
using Edit = std::function<void(BoardSetup &)>;

const BootStep kEntry{Kind::Entry};
const BootStep kSignal{Kind::ReadyToBoot};
const BootStep kCall{Kind::Entry4};
const BootStep kExactCall{Kind::Entry4Exact};
const BootStep kInstallLocation{Kind::Install, OutsideService::PciLocation};
const BootStep kInstallSmbios{Kind::Install, OutsideService::Smbios};
const BootStep kInstallStrings{Kind::Install, OutsideService::SetupStrings};

struct Limit {
  const char *what;
  Edit given;    // from the default board
  Edit carried;  // from the given board; none when it is carried whole
};

void PrintTo(const Limit &limit, std::ostream *out) { *out << limit.what; }

class FuzzInputLimit : public ::testing::TestWithParam<Limit> {};

TEST_P(FuzzInputLimit, ComesBackWithinIt) {
  BoardSetup given;
  GetParam().given(given);
  BoardSetup expected = given;
  if (GetParam().carried) {
    GetParam().carried(expected);
  }
  const fuzz::EncodedInput input = fuzz::EncodeInput(given, InputMode::Board);
  const BoardSetup decoded = fuzz::DecodeInput(input.bytes, InputMode::Board);
  EXPECT_TRUE(decoded == expected) << "decoded:\n"
                                   << sim::ScenarioJson(decoded).dump(2);
  EXPECT_TRUE(input.carried == decoded);
}

// Every step the limits allow, one signal last.
const std::vector<BootStep> kThirteenSteps = {kEntry,
                                              kInstallLocation,
                                              kInstallSmbios,
                                              kInstallStrings,
                                              kInstallLocation,
                                              kInstallSmbios,
                                              kInstallStrings,
                                              kSignal,
                                              kSignal,
                                              kCall,
                                              kCall,
                                              kCall,
                                              kSignal};

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<uint8_t>(i + 1);
  }
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Layout, FuzzInputLimit,
    ::testing::Values(
        // A stuck P2SB costs seconds a boot, so only it keeps a busy status.
        Limit{"busy P2SB status with the stuck P2SB",
              [](BoardSetup &s) {
                s.p2sb = sim::P2sbBehaviour::Stuck;
                s.registers = {{facts::kP2sbStatus, 0xFFFFFFFF}};
              },
              {}},
        Limit{"busy P2SB status with any other P2SB",
              [](BoardSetup &s) {
                s.p2sb = sim::P2sbBehaviour::Error;
                s.p2sbCompletion = 3;
                s.registers = {{facts::kP2sbStatus, 0xFFFFFFFF}};
              },
              [](BoardSetup &s) {
                s.registers[facts::kP2sbStatus] = 0xFFFFFFFE;
              }},
        Limit{"installs, signals and calls past their limits",
              [](BoardSetup &s) {
                s.steps = {kInstallLocation, kInstallLocation,
                           kInstallLocation, kSignal,
                           kSignal,          kSignal,
                           kSignal,          kEntry,
                           kEntry,           kCall,
                           kExactCall,       kCall};
              },
              [](BoardSetup &s) {
                s.steps = {kInstallLocation,
                           kInstallLocation,
                           kSignal,
                           kSignal,
                           kSignal,
                           kEntry,
                           kCall,
                           kExactCall,
                           kCall};
              }},
        Limit{"the entry first when the steps never name it",
              [](BoardSetup &s) {
                s.steps = {kSignal, kInstallStrings};
              },
              [](BoardSetup &s) { s.steps.insert(s.steps.begin(), kEntry); }},
        Limit{"twelve steps at most",
              [](BoardSetup &s) { s.steps = kThirteenSteps; },
              [](BoardSetup &s) { s.steps.pop_back(); }},
        Limit{"seven registers at most, in address order",
              [](BoardSetup &s) {
                for (uint16_t i = 0; i < 8; ++i) {
                  s.registers[facts::PrivateRegister(0x6E, i * 4)] = i;
                }
              },
              [](BoardSetup &s) {
                s.registers.erase(facts::PrivateRegister(0x6E, 7 * 4));
              }},
        Limit{"any aligned register of either window",
              [](BoardSetup &s) {
                s.registers = {{facts::PrivateRegister(0xFF, 0xFFFC), 1},
                               {facts::PciRegister(0xFFFF, 0xFC), 2}};
              },
              {}},
        Limit{"three record copies of 4 to 31 bytes",
              [](BoardSetup &s) {
                s.recordCopies = {{1, {9, 0x11}},
                                  {2, Counting(40)},
                                  {3, {}},
                                  {4, Counting(4)}};
              },
              [](BoardSetup &s) {
                s.recordCopies = {
                    {1, {9, 0x11, 0, 0}}, {2, Counting(31)}, {3, {0, 0, 0, 0}}};
              }}));

struct Uncarried {
  const char *what;
  InputMode mode;
  Edit given;  // from the default board
  std::vector<std::string> keys;
};

void PrintTo(const Uncarried &uncarried, std::ostream *out) {
  *out << uncarried.what;
}

class FuzzInputUncarried : public ::testing::TestWithParam<Uncarried> {};

TEST_P(FuzzInputUncarried, IsNamedAndTheRestCarried) {
  BoardSetup given;
  GetParam().given(given);
  const fuzz::EncodedInput input = fuzz::EncodeInput(given, GetParam().mode);
  EXPECT_EQ(fuzz::UncarriedKeys(given, input.carried), GetParam().keys);
  EXPECT_TRUE(fuzz::DecodeInput(input.bytes, GetParam().mode) == input.carried);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, FuzzInputUncarried,
    ::testing::Values(
        // The reads of a board input are the model's.
        Uncarried{"hostile reads in a board input",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.hostileReads = {{1, 2}};
                  },
                  {"hostile_reads"}},
        // The firmware's own books would not balance after these.
        Uncarried{"a fault of CloseEvent",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.faults = {{"CloseEvent", EFI_DEVICE_ERROR, 1}};
                  },
                  {"faults"}},
        Uncarried{"a status beyond the layout's eight",
                  InputMode::Hostile,
                  [](BoardSetup &s) {
                    s.faults = {{"CreateEvent", EFI_TIMEOUT, 1}};
                    s.hostileReads = std::vector<uint8_t>{};
                  },
                  {"faults"}},
        Uncarried{"a fault of the fifth call",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.faults = {{"CreateEvent", EFI_DEVICE_ERROR, 5}};
                  },
                  {"faults"}},
        Uncarried{"a register outside both windows",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.registers = {{0xFEC00000, 1}};
                  },
                  {"registers"}},
        Uncarried{"a misaligned register",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.registers = {{facts::PrivateRegister(0x6E, 0x0602), 1}};
                  },
                  {"registers"}},
        Uncarried{"a register past a function's first 256 bytes",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.registers = {{facts::PciRegister(0x00F8, 0x100), 1}};
                  },
                  {"registers"}},
        Uncarried{"a location service key of no LAN port",
                  InputMode::Board,
                  [](BoardSetup &s) { s.bridgeKeys[5] = 0x00E0; },
                  {"bridge_keys"}},
        Uncarried{"a P2SB busy for 16 status reads",
                  InputMode::Board,
                  [](BoardSetup &s) { s.p2sbBusyReads = 16; },
                  {"p2sb_busy_reads"}},
        Uncarried{"the tables listed the other way round",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.configurationTables = {sim::ConfigurationTable::HobList,
                                             sim::ConfigurationTable::Acpi20};
                  },
                  {"configuration_tables"}},
        Uncarried{"a record copy of instance 5",
                  InputMode::Board,
                  [](BoardSetup &s) {
                    s.recordCopies = {{5, {9, 0, 0, 0}}};
                  },
                  {"record_copies"}},
        Uncarried{"a boot of no steps",
                  InputMode::Board,
                  [](BoardSetup &s) { s.steps.clear(); },
                  {"steps"}}));

}  // namespace
