// The fuzzers' input layout both ways: every scenario the seeds are made
// from encodes to an input that decodes back to it and boots soundly, and
// any input decodes to a scenario within the layout's limits, which boardsim
// reads back as written and which encodes back to the same input meaning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "fuzz/input_encoder.h"
#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/facts/board.h"
#include "sim/scenario/scenario_file.h"
#include "sim/scenario/scenario_json.h"
#include "tests/fuzz_scenarios.h"

namespace {

using fuzz::InputMode;
using sim::BoardSetup;
using Kind = sim::BootStep::Kind;
using Bytes = std::vector<uint8_t>;

constexpr InputMode kModes[] = {InputMode::Board, InputMode::Hostile};

// What an input of the mode can say of the setup: a board input's reads are
// the model's, so it carries no hostile reads; a hostile input always has
// reads, none when the setup gives none.
BoardSetup AsInputOf(BoardSetup setup, InputMode mode) {
  if (mode == InputMode::Board) {
    setup.hostileReads.reset();
  } else if (!setup.hostileReads) {
    setup.hostileReads = Bytes{};
  }
  return setup;
}

TEST(FuzzInput, FindsTheScenariosOfTheSeeds) {
  // Twelve examples, fourteen seed scenarios, two reproducers.
  EXPECT_GE(FuzzSeedScenarios().size(), 28U);
}

class FuzzSeedScenario
    : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(FuzzSeedScenario, EncodesToAnInputThatDecodesBackInEitherMode) {
  const BoardSetup setup = LoadFuzzScenario(GetParam());
  for (InputMode mode : kModes) {
    SCOPED_TRACE(mode == InputMode::Board ? "board" : "hostile");
    const fuzz::EncodedInput input = fuzz::EncodeInput(setup, mode);
    const BoardSetup decoded = fuzz::DecodeInput(input.bytes, mode);
    EXPECT_TRUE(decoded == AsInputOf(setup, mode))
        << "decoded:\n"
        << sim::ScenarioJson(decoded).dump(2);
    EXPECT_TRUE(input.carried == decoded);
  }
}

TEST_P(FuzzSeedScenario, BootsSoundly) {
  const BoardSetup setup = LoadFuzzScenario(GetParam());
  sim::SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_EQ(sim::CheckInvariants(boot, setup.hostileReads
                                           ? sim::HardwareReads::Hostile
                                           : sim::HardwareReads::Modelled),
            std::vector<std::string>{});
}

std::string TestNameOf(
    const ::testing::TestParamInfo<std::filesystem::path> &info) {
  std::string name = info.param.parent_path().filename().string() + "_" +
                     info.param.stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Files, FuzzSeedScenario,
                         ::testing::ValuesIn(FuzzSeedScenarios()), TestNameOf);

TEST(FuzzInput, EmptyOrZeroInputIsTheDefaultBoardAndBoot) {
  for (size_t size : {0, 1, 28, 64}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(fuzz::DecodeInput(Bytes(size, 0), InputMode::Board) ==
                BoardSetup{});
  }
  EXPECT_TRUE(fuzz::DecodeInput({}, InputMode::Hostile) ==
              AsInputOf(BoardSetup{}, InputMode::Hostile));
}

// The default board is all zero codes: nothing but the hostile reads in
// the front of its input, and its numbers all zero.
TEST(FuzzInput, HostileReadsAreTheFrontOfTheInput) {
  BoardSetup setup;
  setup.hostileReads = Bytes{0x86, 0x80, 0x13, 0x00};
  const Bytes input = fuzz::EncodeInput(setup, InputMode::Hostile).bytes;
  ASSERT_GT(input.size(), 4U);
  EXPECT_EQ(Bytes(input.begin(), input.begin() + 4), *setup.hostileReads);
  EXPECT_TRUE(std::all_of(input.begin() + 4, input.end(),
                          [](uint8_t byte) { return byte == 0; }));
}

// What the limits promise of every decoded input: faults the scenario files
// accept, a busy P2SB status only with the stuck P2SB, the entry once, and
// record copies holding the structure header.
void ExpectWithinTheLayoutsLimits(const BoardSetup &setup) {
  const std::vector<std::string> &faultable = sim::FaultableServices();
  for (const sim::InjectedFault &fault : setup.faults) {
    EXPECT_NE(std::find(faultable.begin(), faultable.end(), fault.service),
              faultable.end())
        << fault.service;
    EXPECT_NE(fault.status, EFI_SUCCESS);
  }
  const auto status = setup.registers.find(facts::kP2sbStatus);
  if (status != setup.registers.end() &&
      setup.p2sb != sim::P2sbBehaviour::Stuck) {
    EXPECT_EQ(status->second & facts::kP2sbBusy, 0U);
  }
  EXPECT_EQ(std::count(setup.steps.begin(), setup.steps.end(),
                       sim::BootStep{Kind::Entry}),
            1);
  EXPECT_LE(setup.steps.size(), 12U);
  for (const auto &[instance, bytes] : setup.recordCopies) {
    EXPECT_GE(bytes.size(), 4U);
  }
}

TEST(FuzzInput, AnyInputDecodesToAReplayableScenarioThatEncodesBack) {
  std::mt19937 random(1);
  std::set<std::string> services;
  std::set<EFI_STATUS> statuses;
  for (int i = 0; i < 4000; ++i) {
    SCOPED_TRACE(i);
    Bytes input(random() % 300);
    for (uint8_t &byte : input) {
      byte = static_cast<uint8_t>(random());
    }
    const InputMode mode = kModes[i % 2];
    const BoardSetup decoded = fuzz::DecodeInput(input, mode);
    ExpectWithinTheLayoutsLimits(decoded);

    // The fuzzers write this file for boardsim to replay.
    const std::string written = sim::ScenarioJson(decoded).dump(2);
    BoardSetup read;
    const auto refusal = sim::ParseScenario(written, read);
    ASSERT_FALSE(refusal.has_value()) << *refusal << "\n" << written;
    ASSERT_TRUE(read == decoded) << written;

    const fuzz::EncodedInput encoded = fuzz::EncodeInput(decoded, mode);
    ASSERT_TRUE(encoded.carried == decoded) << written;
    ASSERT_TRUE(fuzz::DecodeInput(encoded.bytes, mode) == decoded) << written;
    for (const sim::InjectedFault &fault : decoded.faults) {
      services.insert(fault.service);
      statuses.insert(fault.status);
    }
  }
  // Every service and status of the layout's menus.
  EXPECT_EQ(services.size(), 8U);
  EXPECT_EQ(statuses.size(), 8U);
}

}  // namespace
