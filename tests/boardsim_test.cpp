// The boardsim program itself, run as a user runs it: on the shipped example
// scenarios, on the default board, and on every class of bad input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/program_run.h"
#include "tests/scenario_cases.h"
#include "tests/test_paths.h"

namespace {

using nlohmann::json;

using testsupport::ProgramRun;

// A file of this process alone: test processes of this and of other build
// trees run side by side and share the temporary directory.
using testsupport::ScratchPath;

ProgramRun Boardsim(const std::string &arguments) {
  return testsupport::RunProgram(std::string(testpaths::kBoardsim) + " " +
                                 arguments);
}

json Report(const std::string &arguments) {
  const ProgramRun run = Boardsim(arguments + " --json");
  EXPECT_EQ(run.status, 0) << run.err;
  return json::parse(run.out);
}

std::string Example(const std::string &name) {
  return std::string(testpaths::kExamplesDir) + "/" + name + ".json";
}

// Each run is a process of its own, with its own addresses: a host address
// that reached the output would differ between the two.
TEST(Boardsim, TwoRunsOfAScenarioPrintTheSameTraceWithEveryRegisterNamed) {
  for (const char *name : {"varnex-w", "lp-series", "p2sb-absent"}) {
    for (const char *options : {" --trace", " --json --trace"}) {
      const ProgramRun first = Boardsim(Example(name) + options);
      const ProgramRun second = Boardsim(Example(name) + options);
      ASSERT_EQ(first.status, 0) << first.err;
      EXPECT_EQ(first.out, second.out) << name << options;
    }
    const ProgramRun trace = Boardsim(Example(name) + " --trace");
    std::istringstream lines(trace.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("  hw ", 0) == 0) {
        // The name follows the value, two spaces on: "... = 0x8086  P2SB vendor
        // ID".
        EXPECT_NE(line.find("  ", 7), std::string::npos)
            << name << ": " << line;
      }
    }
  }
}

TEST(Boardsim, DefaultBoardReportsTheWholeBoot) {
  const json report = Report("");
  EXPECT_EQ(report["entry_status"], "0x0000000000000000");
  EXPECT_EQ(report["riser_id"], 14);
  EXPECT_EQ(report["slot_records_left"], json::array({2}));
  EXPECT_EQ(report["setup_strings"],
            (json{{"0x1A52", "VARNEX-W OPROM"},
                  {"0x1A53", "Enable or Disable VARNEX-W OPROM option."}}));
  EXPECT_EQ(report["gpp_b0"]["dw0"], "0x44000200");
  EXPECT_EQ(report["gpp_b0"]["tx_locked"], true);
  EXPECT_EQ(report["lan"]["status"], "0x0000000000000000");
  EXPECT_EQ(report["lan"]["first"], "a5a5a501001b21a00001");
  EXPECT_EQ(report["lan"]["second"], "01001b21a00002");
  EXPECT_EQ(report["open_events"], 0);
  EXPECT_EQ(report["pool_buffers_unfreed"], 0);
  EXPECT_TRUE(report["chipset_flags"].empty());
  EXPECT_EQ(report["accesses"][0], (json{{"op", "read"},
                                         {"width", 16},
                                         {"address", "0xE00F8002"},
                                         {"value", "0xA305"},
                                         {"register", "LPC device ID"}}));
}

TEST(Boardsim, TextAccountNamesWhatHappened) {
  const ProgramRun run = Boardsim("");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Riser:       14 (VARNEX-W)"), std::string::npos);
  EXPECT_NE(run.out.find("deleted #3 (handle 0x0902) #1 (handle 0x0900)"),
            std::string::npos);
  EXPECT_NE(run.out.find("DW0 0x44000201 -> 0x44000200"), std::string::npos);
  EXPECT_EQ(run.out.find("call "), std::string::npos);

  const ProgramRun traced = Boardsim("--trace");
  EXPECT_NE(traced.out.find("call CreateEventEx"), std::string::npos);
  EXPECT_NE(traced.out.find("hw   write32 0xFD6E0790 = 0x44000200"),
            std::string::npos);
}

TEST(Boardsim, BoardLineShowsWhatTheRegistersHold) {
  const ProgramRun dumped = Boardsim(Example("dumped-registers"));
  EXPECT_NE(dumped.out.find("straps GPP_K0..K3 0 0 1 1"), std::string::npos)
      << dumped.out;
  const json lp = Report(Example("lp-series"));
  EXPECT_EQ(lp["board"]["pch_device_id"], "0x9D84");
  EXPECT_TRUE(lp["board"]["strap_levels"].is_null());
}

TEST(Boardsim, StuckSidebandFoldsItsPollsIntoOneEntry) {
  const std::string path = ScratchPath("stuck.json");
  std::ofstream(path) << R"({"p2sb": "stuck"})";
  const json report = Report(path);
  std::remove(path.c_str());
  bool folded = false;
  for (const json &access : report["accesses"]) {
    folded |= access.value("repeat", 0) == 0x0FFFFFFF;
  }
  EXPECT_TRUE(folded);
  EXPECT_EQ(report["gpp_b0"]["dw0"], "0x44000201");
}

struct ExampleCase {
  const char *file;
  int riser;
  int slotLeft;
  const char *dw0;
  const char *lanStatus;
  const char *first;
  const char *second;
};
// Named in test listings by its scenario, not its bytes.
void PrintTo(const ExampleCase &c, std::ostream *out) { *out << c.file; }

class BoardsimExample : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(BoardsimExample, PlaysTheScenario) {
  const ExampleCase &c = GetParam();
  const json report = Report(Example(c.file));
  EXPECT_EQ(report["riser_id"], c.riser);
  EXPECT_EQ(report["slot_records_left"], json::array({c.slotLeft}));
  EXPECT_EQ(report["gpp_b0"]["dw0"], c.dw0);
  EXPECT_EQ(report["lan"]["status"], c.lanStatus);
  EXPECT_EQ(report["lan"]["first"], c.first);
  EXPECT_EQ(report["lan"]["second"], c.second);
  EXPECT_EQ(report["open_events"], 0);
  EXPECT_EQ(report["pool_buffers_unfreed"], 0);
}

constexpr const char *kOk = "0x0000000000000000";
constexpr const char *kBothFirst = "a5a5a501001b21a00001";
constexpr const char *kBothSecond = "01001b21a00002";

INSTANTIATE_TEST_SUITE_P(
    Examples, BoardsimExample,
    ::testing::Values(ExampleCase{"varnex-w", 14, 2, "0x44000200", kOk,
                                  kBothFirst, kBothSecond},
                      ExampleCase{"varnex-n", 12, 3, "0x44000200", kOk,
                                  kBothFirst, kBothSecond},
                      ExampleCase{"no-riser", 15, 1, "0x44000200", kOk,
                                  kBothFirst, kBothSecond},
                      ExampleCase{"lp-series", 0, 1, "0x44000201", kOk,
                                  kBothFirst, kBothSecond},
                      ExampleCase{"gpp-b0-other-agent", 14, 2, "0x44000201",
                                  kOk, kBothFirst, kBothSecond},
                      ExampleCase{"tx-lock-working-p2sb", 14, 2, "0x44000200",
                                  kOk, kBothFirst, kBothSecond},
                      ExampleCase{"p2sb-absent", 14, 2, "0x44000201", kOk,
                                  kBothFirst, kBothSecond},
                      ExampleCase{"p2sb-slow-completion", 14, 2, "0x44000200",
                                  kOk, kBothFirst, kBothSecond},
                      ExampleCase{"lan-first-bridge-only", 14, 2, "0x44000200",
                                  kOk, "a5a5a501001b21c0ffee",
                                  "005a5a5a5a5a5a"},
                      ExampleCase{"lan-other-device", 14, 2, "0x44000200", kOk,
                                  "a5a5a500a5a5a5a5a5a5", kBothSecond},
                      ExampleCase{"no-pci-location", 14, 2, "0x44000200",
                                  "0x800000000000000E", "a5a5a500a5a5a5a5a5a5",
                                  "005a5a5a5a5a5a"},
                      ExampleCase{"dumped-registers", 12, 3, "0x44000200", kOk,
                                  kBothFirst, kBothSecond}),
    [](const auto &info) {
      std::string name = info.param.file;
      std::erase(name, '-');
      return name;
    });

// Each message's wait reads the status once per busy read and once more,
// in the report and in the trace's fold of the busy reads.
TEST(Boardsim, SlowP2sbShowsTheStatusReadsOfEachMessage) {
  const json report = Report(Example("p2sb-slow-completion"));
  const json &messages = report["gpp_b0"]["sideband_messages"];
  ASSERT_EQ(messages.size(), 2U) << messages;
  for (const json &message : messages) {
    EXPECT_EQ(message["status_reads"], 8) << message;
    EXPECT_EQ(message["completion"], 0) << message;
  }
  int busyRuns = 0;
  for (const json &access : report["accesses"]) {
    if (access["op"] == "read" && access["value"] == "0x1301") {
      EXPECT_EQ(access.value("repeat", 1), 7) << access;
      ++busyRuns;
    }
  }
  EXPECT_EQ(busyRuns, 2);
}

using testsupport::ScenarioCase;

class BoardsimBadInput : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(BoardsimBadInput, RefusesWithStatus2AndPrintsNothingElse) {
  const ScenarioCase &c = GetParam();
  std::string path = ScratchPath("missing-scenario.json");
  if (c.name == "DeeplyNestedValue") {
    path = ScratchPath(c.name + ".json");
    std::ofstream(path) << "{\"registers\": " << std::string(60000, '[')
                        << std::string(60000, ']') << "}";
  } else if (c.name != "MissingFile") {
    path = ScratchPath(c.name + ".json");
    std::ofstream(path) << c.text;
  } else {
    std::remove(path.c_str());
  }
  const ProgramRun run = Boardsim(path + " --json");
  std::remove(path.c_str());
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find(c.names), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// Every scenario the reader refuses, and what is no scenario at all.
std::vector<ScenarioCase> BadInputs() {
  std::vector<ScenarioCase> all = testsupport::ScenarioCases("refused");
  all.push_back({"MissingFile", "", "cannot read scenario file"});
  all.push_back({"DeeplyNestedValue", "", "an array of 1 items"});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Classes, BoardsimBadInput,
                         ::testing::ValuesIn(BadInputs()),
                         testsupport::ScenarioCaseName);

TEST(Boardsim, DirectoryIsNotAScenario) {
  const ProgramRun run = Boardsim(::testing::TempDir());
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("it is a directory"), std::string::npos) << run.err;
}

TEST(Boardsim, EmptyScenarioPathIsAUsageError) {
  const ProgramRun run = Boardsim("''");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("scenario path is empty"), std::string::npos);
}

TEST(Boardsim, UnknownOptionIsAUsageError) {
  const ProgramRun run = Boardsim("--verbose");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("usage: boardsim"), std::string::npos);
}

}  // namespace
