// A fuzz reproducer replays with boardsim: the decoded input, written as a
// scenario file the way the fuzzers write it (BOARD_FUZZ_SCENARIO), gives
// boardsim --json the outcome the harness's boot had.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/outcome/outcome_json.h"
#include "sim/scenario/scenario_json.h"
#include "tests/fuzz_input_files.h"
#include "tests/program_run.h"
#include "tests/test_paths.h"

namespace {

using nlohmann::ordered_json;

TEST(FuzzReproducer, ReplaysWithBoardsimFromItsScenarioFile) {
  const std::string input =
      std::string(testpaths::kFuzzDir) +
      "/reproducers/hostile-status-reads-back-other-opcode";
  const sim::BoardSetup setup =
      fuzz::DecodeInput(ReadInputFile(input), fuzz::InputMode::Hostile);
  ASSERT_TRUE(setup.hostileReads.has_value());
  ASSERT_FALSE(setup.hostileReads->empty());

  sim::SimulatedBoot boot(setup);
  boot.Play();
  const ordered_json harness = sim::OutcomeJson(sim::OutcomeOf(boot), false);
  // What makes it worth keeping: both lock messages carry opcode 0.
  const ordered_json &messages = harness["gpp_b0"]["sideband_messages"];
  ASSERT_EQ(messages.size(), 2U);
  for (const ordered_json &message : messages) {
    EXPECT_EQ(message["opcode"], "0x00");
  }

  const std::string scenarioPath = testsupport::ScratchPath("scenario.json");
  std::ofstream(scenarioPath) << sim::ScenarioJson(setup).dump(2) << '\n';
  const testsupport::ProgramRun run = testsupport::RunProgram(
      std::string(testpaths::kBoardsim) + " " + scenarioPath + " --json");
  std::remove(scenarioPath.c_str());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ordered_json::parse(run.out), harness);
}

// Invented reads make both bridges name one controller, whose command
// register reads 0x06 for the first probe and 0x00 for the second: each
// probe writes back what it read, and nothing else is asked of it.
TEST(FuzzReproducer, EachProbeOfOneControllerRestoresWhatItRead) {
  const std::string input = std::string(testpaths::kFuzzDir) +
                            "/reproducers/hostile-one-controller-probed-twice";
  const sim::BoardSetup setup =
      fuzz::DecodeInput(ReadInputFile(input), fuzz::InputMode::Hostile);
  sim::SimulatedBoot boot(setup);
  boot.Play();
  EXPECT_EQ(sim::CheckInvariants(boot, sim::HardwareReads::Hostile),
            std::vector<std::string>{});
}

}  // namespace
