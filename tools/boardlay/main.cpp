// boardlay: lays a boardsim scenario's board into two memory files, one per
// chipset window, from the chipset model that boardsim plays; given a command
// (QEMU mapping the files), it runs it and keeps the board live while it runs.
#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "sim/chipset/chipset_model.h"
#include "sim/facts/board.h"
#include "sim/hex_text.h"
#include "sim/scenario/chipset_setup.h"
#include "sim/scenario/scenario_file.h"
#include "tools/boardlay/live_board.h"
#include "tools/boardlay/supervised_command.h"
#include "tools/boardlay/window_file.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;
// Between looks at the files; a message's wait in the image allows far
// longer (0x0FFFFFFF status reads).
constexpr std::chrono::microseconds kPollInterval{100};

// By name (the files need not exist yet) or as the same file under two
// names.
bool SameFile(const std::string &one, const std::string &other) {
  namespace fs = std::filesystem;
  std::error_code oneError;
  std::error_code otherError;
  const fs::path oneName = fs::weakly_canonical(one, oneError);
  const fs::path otherName = fs::weakly_canonical(other, otherError);
  if (!oneError && !otherError && oneName == otherName) {
    return true;
  }
  return fs::equivalent(one, other, oneError);
}

bool WriteAccount(const std::string &path, const boardlay::LiveBoard &board) {
  if (path.empty()) {
    return true;
  }
  std::ofstream file(path);
  file << board.Account().dump(1) << '\n';
  file.close();
  if (!file) {
    std::cerr << "boardlay: cannot write the account to " << path << '\n';
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string pciBase = sim::Hex(facts::kPciWindowBase);
  const std::string privateBase = sim::Hex(facts::kPrivateWindowBase);
  CLI::App app{
      "Lays a boardsim scenario's board into the memory files of the PCI "
      "configuration window (" +
      pciBase + ") and the private-register window (" + privateBase +
      "). With a command after --, runs it (QEMU mapping the files) and "
      "serves the P2SB and the GPIO store rules until it exits."};
  std::string scenarioPath;
  std::string pciPath;
  std::string privatePath;
  std::string accountPath;
  std::vector<std::string> command;
  app.add_option("SCENARIO.json", scenarioPath, "board scenario")->required();
  app.add_option("--pci-window", pciPath, "file for " + pciBase + ", 16 MiB")
      ->required();
  app.add_option("--private-window", privatePath,
                 "file for " + privateBase + ", 16 MiB")
      ->required();
  app.add_option("--account", accountPath,
                 "JSON of what the board did while the command ran: "
                 "P2SB messages served, stores the model changed, notes, "
                 "GPP_B0's final DW0 and LockTx");
  app.add_option("command", command, "command to run with the board live");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "boardlay: " << error.what() << '\n';
    return kUsageError;
  }

  if (SameFile(pciPath, privatePath)) {
    std::cerr << "boardlay: --pci-window and --private-window name the same "
                 "file; each window needs its own\n";
    return kUsageError;
  }
  sim::BoardSetup setup;
  if (auto refusal = sim::LoadScenario(scenarioPath, setup)) {
    std::cerr << "boardlay: " << *refusal << '\n';
    return kUsageError;
  }
  if (setup.readsZero) {
    std::cerr << "boardlay: " << scenarioPath
              << ": \"reads_zero\" describes unbacked windows; there is no "
                 "board to lay\n";
    return kUsageError;
  }

  try {
    // The board exactly as boardsim sets it up before its boot.
    sim::ChipsetModel chipset;
    sim::ConfigureChipset(chipset, setup);
    boardlay::WindowFile pci(pciPath, facts::kPciWindowBase);
    boardlay::WindowFile privateRegisters(privatePath,
                                          facts::kPrivateWindowBase);
    boardlay::LayBoard(chipset, pci, privateRegisters);
    if (command.empty()) {
      return 0;
    }
    boardlay::LiveBoard board(chipset, pci, privateRegisters);
    const int status =
        boardlay::RunSupervised(command, kPollInterval, [&] { board.Step(); });
    return WriteAccount(accountPath, board) ? status : kFailure;
  } catch (const std::exception &error) {
    std::cerr << "boardlay: " << error.what() << '\n';
    return kFailure;
  }
}
