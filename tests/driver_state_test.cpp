// A boot leaves nothing of the driver behind for the next: every writable
// global of the firmware code is one a new board returns to its load-time
// value, and a board played after another in one process does exactly what
// it does as the only board of a fresh boardsim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/board/simulated_boot.h"
#include "sim/driver_state.h"
#include "sim/outcome/outcome_json.h"
#include "sim/outcome/outcome_text.h"
#include "sim/scenario/scenario_file.h"
#include "tests/fuzz_scenarios.h"
#include "tests/program_run.h"
#include "tests/test_paths.h"

namespace {

using testsupport::ProgramRun;
using testsupport::RunProgram;

// A section whose objects the program may write: initialised data, zeroed
// data and common symbols, but not data made read-only once relocated.
bool IsWritableSection(const std::string &section) {
  if (section.starts_with(".data.rel.ro")) {
    return false;
  }
  return section == "*COM*" || section.starts_with(".data") ||
         section.starts_with(".bss") || section.starts_with(".tdata") ||
         section.starts_with(".tbss");
}

// The data objects in writable sections of `objdump -t -C -w` output, by
// name. Names starting with "__" are the compiler's and the sanitizers'
// (coverage counters, instrumentation tables), never the firmware code's.
std::set<std::string> WritableObjects(const std::string &symbolTable) {
  std::set<std::string> names;
  std::istringstream lines(symbolTable);
  for (std::string line; std::getline(lines, line);) {
    // "<value> <7 flag characters> <section>\t<size> <name>"
    const size_t tab = line.find('\t');
    const size_t flagsAt = line.find(' ') + 1;
    if (tab == std::string::npos || flagsAt == 0 || tab < flagsAt + 8 ||
        line[flagsAt + 6] != 'O') {
      continue;
    }
    const std::string section = line.substr(flagsAt + 8, tab - flagsAt - 8);
    const size_t nameAt = line.find(' ', tab);
    if (nameAt == std::string::npos || !IsWritableSection(section)) {
      continue;
    }
    const std::string name = line.substr(nameAt + 1);
    if (!name.starts_with("__")) {
      names.insert(name);
    }
  }
  return names;
}

TEST(DriverState, EveryWritableGlobalOfTheFirmwareCodeIsReset) {
  const ProgramRun run = RunProgram(std::string("objdump -t -C -w ") +
                                    testpaths::kFirmwareLibrary);
  ASSERT_EQ(run.status, 0) << "objdump (Debian package binutils) could not "
                              "list the firmware library's symbols: "
                           << run.err;
  const std::set<std::string> writable = WritableObjects(run.out);
  ASSERT_FALSE(writable.empty()) << run.out;
  const std::vector<std::string> list = sim::DriverGlobalsReset();
  const std::set<std::string> reset(list.begin(), list.end());
  for (const std::string &name : writable) {
    EXPECT_TRUE(reset.contains(name))
        << name << " is writable data of the firmware code, and no new board "
        << "resets it: list it in sim/driver_state.cpp";
  }
  for (const std::string &name : reset) {
    EXPECT_TRUE(writable.contains(name))
        << "sim/driver_state.cpp resets " << name
        << ", which is no writable data of the firmware code";
  }
}

// A scenario boardsim can play: an example, a fuzz seed or a reproducer.
struct Scenario {
  std::string name;  // the case's
  std::string path;
};

const std::vector<Scenario> &AllScenarios() {
  static const std::vector<Scenario> scenarios = [] {
    std::vector<Scenario> list;
    for (const std::filesystem::path &path : FuzzSeedScenarios()) {
      std::string name =
          path.parent_path().filename().string() + "_" + path.stem().string();
      std::replace_if(
          name.begin(), name.end(),
          [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
          '_');
      list.push_back({name, path.string()});
    }
    return list;
  }();
  return scenarios;
}

class SecondBoardTest : public ::testing::TestWithParam<size_t> {};

// The scenario after it in the list plays first, so that each one follows
// a board other than its own.
TEST_P(SecondBoardTest, PlaysAsTheOnlyBoardOfAFreshBoardsim) {
  const std::vector<Scenario> &scenarios = AllScenarios();
  const Scenario &played = scenarios[GetParam()];
  const Scenario &before = scenarios[(GetParam() + 1) % scenarios.size()];
  const sim::BoardSetup setup = LoadFuzzScenario(played.path);
  {
    sim::SimulatedBoot first(LoadFuzzScenario(before.path));
    first.Play();
  }
  sim::SimulatedBoot boot(setup);
  boot.Play();
  const sim::BootOutcome outcome = sim::OutcomeOf(boot);

  const std::string boardsim =
      std::string(testpaths::kBoardsim) + " " + played.path;
  const ProgramRun text = RunProgram(boardsim);
  const ProgramRun json = RunProgram(boardsim + " --json --trace");
  ASSERT_TRUE(text.err.empty() && json.err.empty()) << text.err << json.err;
  EXPECT_EQ(sim::OutcomeText(outcome), text.out)
      << played.name << " after " << before.name;
  EXPECT_EQ(sim::OutcomeJson(outcome, true).dump(2) + "\n", json.out)
      << played.name << " after " << before.name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SecondBoardTest,
                         ::testing::Range<size_t>(0, AllScenarios().size()),
                         [](const ::testing::TestParamInfo<size_t> &info) {
                           return AllScenarios()[info.param].name;
                         });

}  // namespace
