// The fuzz reproducers are scenario files: boardsim replays each to the
// outcome the fuzzers' harness has for it, and each shows what it was kept
// for.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/outcome/outcome_json.h"
#include "tests/fuzz_scenarios.h"
#include "tests/program_run.h"
#include "tests/test_paths.h"

namespace {

using nlohmann::ordered_json;

std::string Reproducer(const std::string &name) {
  return std::string(testpaths::kFuzzDir) + "/reproducers/" + name + ".json";
}

ordered_json HarnessOutcome(const sim::BoardSetup &setup) {
  sim::SimulatedBoot boot(setup);
  boot.Play();
  return sim::OutcomeJson(sim::OutcomeOf(boot), false);
}

TEST(FuzzReproducer, EachReplaysWithBoardsimAsInTheHarness) {
  const std::filesystem::path folder =
      std::string(testpaths::kFuzzDir) + "/reproducers";
  size_t count = 0;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().string());
    ++count;
    const ordered_json harness = HarnessOutcome(LoadFuzzScenario(entry.path()));
    const testsupport::ProgramRun run =
        testsupport::RunProgram(std::string(testpaths::kBoardsim) + " " +
                                entry.path().string() + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ordered_json::parse(run.out), harness);
  }
  EXPECT_GE(count, 2U);
}

// The P2SB's status reads back opcode 0 after the driver wrote 0x13: both
// lock messages carry opcode 0.
TEST(FuzzReproducer, StatusReadingBackAnotherOpcodeStartsMessagesWithIt) {
  const sim::BoardSetup setup =
      LoadFuzzScenario(Reproducer("hostile-status-reads-back-other-opcode"));
  ASSERT_TRUE(setup.hostileReads.has_value());
  const ordered_json harness = HarnessOutcome(setup);
  const ordered_json &messages = harness["gpp_b0"]["sideband_messages"];
  ASSERT_EQ(messages.size(), 2U);
  for (const ordered_json &message : messages) {
    EXPECT_EQ(message["opcode"], "0x00");
  }
}

// Invented reads make both bridges name one controller, whose command
// register reads 0x06 for the first probe and 0x00 for the second: each
// probe writes back what it read, and nothing else is asked of it.
TEST(FuzzReproducer, EachProbeOfOneControllerRestoresWhatItRead) {
  const sim::BoardSetup setup =
      LoadFuzzScenario(Reproducer("hostile-one-controller-probed-twice"));
  ASSERT_TRUE(setup.hostileReads.has_value());
  sim::SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_EQ(sim::CheckInvariants(boot, sim::HardwareReads::Hostile),
            std::vector<std::string>{});
}

}  // namespace
