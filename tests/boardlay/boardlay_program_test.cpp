// The boardlay program as the firmware stage runs it, with commands that
// stand in for QEMU, and on every class of bad command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "sim/facts/gpio_layout.h"
#include "sim/hex_text.h"
#include "tests/boardlay/board_files.h"
#include "tests/program_run.h"
#include "tests/test_paths.h"

namespace {

using boardlaytest::GuestWindow;
using boardlaytest::ScratchDirectory;
using nlohmann::json;
using testsupport::ProgramRun;

class BoardlayProgram : public ::testing::Test {
 protected:
  BoardlayProgram() {
    std::ofstream(scenario) << "{}";
    std::ofstream(readsZero) << R"({"reads_zero": true})";
    std::ofstream(refused) << R"({"strapz": [0, 0, 0, 0]})";
    std::ofstream(slowP2sb) << R"({"p2sb_busy_reads": 100001})";
  }

  ProgramRun Boardlay(const std::string &arguments) {
    return testsupport::RunProgram(std::string(testpaths::kBoardlay) + " " +
                                   arguments);
  }
  std::string Windows() const {
    return "--pci-window " + pciPath + " --private-window " + privatePath;
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto &entry :
         std::filesystem::directory_iterator(directory.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  ScratchDirectory directory;
  const std::string scenario = directory / "board.json";
  const std::string readsZero = directory / "reads-zero.json";
  const std::string refused = directory / "refused.json";
  const std::string slowP2sb = directory / "slow-p2sb.json";
  const std::string pciPath = directory / "pci.img";
  const std::string privatePath = directory / "private.img";
  const std::string accountPath = directory / "account.json";
};

TEST_F(BoardlayProgram, WithoutACommandLaysTheFilesAndExits) {
  const ProgramRun run = Boardlay(scenario + " " + Windows());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const std::string &path : {pciPath, privatePath}) {
    EXPECT_EQ(std::filesystem::file_size(path), boardlay::kWindowFileSize);
  }
  EXPECT_EQ(GuestWindow(pciPath, facts::kPciWindowBase)
                .Load<uint16_t>(facts::kLpcDeviceId),
            facts::kDefaultLpcDeviceId);
}

// The command stores to GPP_B0's DW0, whose TX state is locked, as the
// driver would without unlocking it first.
TEST_F(BoardlayProgram, AccountOfARunHoldsWhatTheBoardDid) {
  const uint64_t dw0 = facts::PadDw0(kH, facts::kGppB0);
  const uint64_t lockTx = facts::PadLockTx(kH, facts::kGppB0).address;
  const std::string store =
      "printf '\\000\\002\\000\\104' | dd of=" + privatePath +
      " bs=4 seek=" + std::to_string((dw0 - facts::kPrivateWindowBase) / 4) +
      " conv=notrunc status=none";
  const ProgramRun run = Boardlay(scenario + " " + Windows() + " --account " +
                                  accountPath + " -- sh -c \"" + store + "\"");
  ASSERT_EQ(run.status, 0) << run.err;

  const json account = json::parse(testsupport::Slurp(accountPath));
  EXPECT_EQ(account["gpp_b0"], (json{{"dw0_address", sim::Hex(dw0)},
                                     {"dw0", "0x44000201"},
                                     {"lock_tx_address", sim::Hex(lockTx)},
                                     {"lock_tx", "0x00000001"}}));
  EXPECT_EQ(account["stores_changed"], json::array({{{"address", sim::Hex(dw0)},
                                                     {"stored", "0x44000200"},
                                                     {"kept", "0x44000201"}}}));
  EXPECT_EQ(account["messages"], json::array());
  EXPECT_EQ(account["notes"], json::array());
}

struct CommandEnd {
  const char *name;
  const char *command;
  int status;
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const CommandEnd &c, std::ostream *out) { *out << c.name; }

class BoardlayCommandEnd : public BoardlayProgram,
                           public ::testing::WithParamInterface<CommandEnd> {};

TEST_P(BoardlayCommandEnd, ExitsAsTheCommandEndedAndWritesTheAccount) {
  const CommandEnd &c = GetParam();
  const ProgramRun run = Boardlay(scenario + " " + Windows() + " --account " +
                                  accountPath + " -- " + c.command);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_TRUE(json::accept(testsupport::Slurp(accountPath)));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, BoardlayCommandEnd,
    ::testing::Values(CommandEnd{"Success", "true", 0},
                      CommandEnd{"Failure", "sh -c 'exit 3'", 3},
                      CommandEnd{"Signal", "sh -c 'kill -TERM $$'", 128 + 15},
                      CommandEnd{"CannotStart", "./no-such-command", 127}),
    [](const auto &info) { return std::string(info.param.name); });

// Stopping boardlay stops the command it serves, and the account of what
// the board did until then is still written.
TEST_F(BoardlayProgram, SignalToBoardlayReachesTheCommand) {
  const std::string started = directory / "started";
  const ProgramRun run = testsupport::RunProgram(
      "{ " + std::string(testpaths::kBoardlay) + " " + scenario + " " +
      Windows() + " --account " + accountPath + " -- sh -c 'touch " + started +
      "; exec sleep 20' & while [ ! -e " + started +
      " ]; do sleep 0.01; done; kill -TERM $!; wait $!; }");
  EXPECT_EQ(run.status, 128 + 15) << run.err;
  EXPECT_TRUE(json::accept(testsupport::Slurp(accountPath)));
}

struct UsageError {
  const char *name;
  // With {s} for the scenario, {z} for a reads-zero one, {r} for a refused
  // one, {b} for one whose P2SB stays busy for more status reads than the
  // live board watches, and {d} for the directory.
  const char *arguments;
  const char *mustName;
  bool linkedFiles;  // {d}/a and {d}/b are one file before the run
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const UsageError &c, std::ostream *out) { *out << c.name; }

class BoardlayUsageError : public BoardlayProgram,
                           public ::testing::WithParamInterface<UsageError> {
 protected:
  std::string Expand(std::string text) const {
    const std::pair<std::string, std::string> names[] = {
        {"{s}", scenario},
        {"{z}", readsZero},
        {"{r}", refused},
        {"{b}", slowP2sb},
        {"{d}", directory.Path().string()}};
    for (const auto &[name, value] : names) {
      for (size_t at; (at = text.find(name)) != std::string::npos;) {
        text.replace(at, name.size(), value);
      }
    }
    return text;
  }
};

TEST_P(BoardlayUsageError, ExitsWithStatus2AndOneMessage) {
  const UsageError &c = GetParam();
  if (c.linkedFiles) {
    std::ofstream(directory / "a") << "";
    std::filesystem::create_hard_link(directory / "a", directory / "b");
  }
  const std::set<std::string> before = Files();
  const ProgramRun run = Boardlay(Expand(c.arguments));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("boardlay: ", 0), 0U) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(c.mustName), std::string::npos) << run.err;
  EXPECT_EQ(Files(), before) << "a refused command line creates no file";
}

INSTANTIATE_TEST_SUITE_P(
    Classes, BoardlayUsageError,
    ::testing::Values(
        UsageError{"NoScenario", "--pci-window {d}/p --private-window {d}/q",
                   "SCENARIO.json", false},
        UsageError{"NoPciWindow", "{s} --private-window {d}/q",
                   "--pci-window is required", false},
        UsageError{"NoPrivateWindow", "{s} --pci-window {d}/p",
                   "--private-window is required", false},
        UsageError{"UnknownOption",
                   "{s} --pci-window {d}/p --private-window {d}/q --trace",
                   "--trace", false},
        UsageError{"SameFileByName",
                   "{s} --pci-window {d}/w --private-window {d}/w",
                   "name the same file", false},
        UsageError{"SameFileByTwoNames",
                   "{s} --pci-window {d}/w --private-window {d}/./w",
                   "name the same file", false},
        UsageError{"SameFileLinked",
                   "{s} --pci-window {d}/a --private-window {d}/b",
                   "name the same file", true},
        UsageError{"ReadsZeroScenario",
                   "{z} --pci-window {d}/p --private-window {d}/q",
                   "\"reads_zero\"", false},
        UsageError{"RefusedScenario",
                   "{r} --pci-window {d}/p --private-window {d}/q",
                   "unknown key \"strapz\"", false},
        UsageError{"TooManyBusyReadsToWatch",
                   "{b} --pci-window {d}/p --private-window {d}/q "
                   "--gdb-socket {d}/g -- true",
                   "\"p2sb_busy_reads\" 100001 is more than the 100000", false},
        UsageError{"MissingScenario",
                   "{d}/none.json --pci-window {d}/p --private-window {d}/q",
                   "none.json", false}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
