// fuzz_seed_corpus, as run-fuzzers.sh runs it: a seed of each mode for every
// scenario of the folders, which the fuzzers decode to that scenario; a
// scenario it cannot use is named, and so is a part no input carries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "tests/fuzz_scenarios.h"
#include "tests/program_run.h"
#include "tests/test_paths.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadSeed(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

testsupport::ProgramRun RunSeedCorpus(const std::string &arguments) {
  return testsupport::RunProgram(std::string(testpaths::kFuzzSeedCorpus) + " " +
                                 arguments);
}

TEST(FuzzSeedCorpus, WritesASeedOfEachModeThatDecodesToItsScenario) {
  const fs::path output = testsupport::ScratchPath("seeds");
  std::string folders;
  for (const std::string &folder : FuzzSeedFolders()) {
    folders += " " + folder;
  }
  const testsupport::ProgramRun run = RunSeedCorpus(output.string() + folders);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const fs::path &scenario : FuzzSeedScenarios()) {
    SCOPED_TRACE(scenario.string());
    const sim::BoardSetup setup = LoadFuzzScenario(scenario);
    const std::string name = scenario.parent_path().filename().string() + "-" +
                             scenario.stem().string();
    const sim::BoardSetup board = fuzz::DecodeInput(
        ReadSeed(output / "board" / name), fuzz::InputMode::Board);
    sim::BoardSetup expected = setup;
    expected.hostileReads.reset();
    EXPECT_TRUE(board == expected);
    const sim::BoardSetup hostile = fuzz::DecodeInput(
        ReadSeed(output / "hostile" / name), fuzz::InputMode::Hostile);
    expected.hostileReads = setup.hostileReads.value_or(std::vector<uint8_t>{});
    EXPECT_TRUE(hostile == expected);
  }
  fs::remove_all(output);
}

TEST(FuzzSeedCorpus, NamesAScenarioItCannotReadAndPartsNotCarried) {
  const fs::path folder = testsupport::ScratchPath("scenarios");
  const fs::path output = testsupport::ScratchPath("seeds");
  fs::create_directories(folder);
  std::ofstream(folder / "slow.json") << "{\"p2sb_busy_reads\": 40}\n";
  testsupport::ProgramRun run =
      RunSeedCorpus(output.string() + " " + folder.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("slow.json: the board input cannot carry its "
                         "\"p2sb_busy_reads\""),
            std::string::npos)
      << run.err;

  std::ofstream(folder / "typo.json") << "{\"strap\": [0, 1, 1, 1]}\n";
  run = RunSeedCorpus(output.string() + " " + folder.string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("typo.json"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("strap"), std::string::npos) << run.err;

  run = RunSeedCorpus(output.string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: fuzz_seed_corpus OUTPUT FOLDER..."),
            std::string::npos)
      << run.err;
  fs::remove_all(folder);
  fs::remove_all(output);
}

}  // namespace
