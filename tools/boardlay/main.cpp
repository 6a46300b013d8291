// boardlay: lays a boardsim scenario's board into two memory files, one per
// chipset window, from the chipset model that boardsim plays; given a command
// (QEMU mapping the files), it runs it and keeps the board live while it runs.
#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "sim/chipset/chipset_model.h"
#include "sim/facts/board.h"
#include "sim/hex_text.h"
#include "sim/scenario/chipset_setup.h"
#include "sim/scenario/scenario_file.h"
#include "sim/scenario/scenario_keys.h"
#include "tools/boardlay/guest_watch.h"
#include "tools/boardlay/live_board.h"
#include "tools/boardlay/stop_service.h"
#include "tools/boardlay/supervised_command.h"
#include "tools/boardlay/window_file.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;
// The guest stops at each status read while a message is busy; far more
// than this would keep a boot from ending in its time.
constexpr uint32_t kMostWatchedBusyReads = 100000;
// How long QEMU may take to connect to the gdb socket.
constexpr std::chrono::seconds kAttachLimit{20};

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

void Serve(boardlay::GuestWatch &watch, boardlay::LiveBoard &board, bool ready,
           const std::string &socket) {
  if (watch.Attached()) {
    boardlay::ServeStops(watch, board);
  } else if (ready) {
    watch.Attach();
  } else {
    throw std::runtime_error("QEMU did not connect to the gdb socket " +
                             socket + " within " +
                             std::to_string(kAttachLimit.count()) + " s");
  }
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
  std::string gdbSocket;
  app.add_option("--gdb-socket", gdbSocket,
                 "socket to listen on for QEMU's gdbstub (-chardev "
                 "socket,id=ID,path=PATH -gdb chardev:ID -S): each guest "
                 "store the model constrains, and each status read, is "
                 "served before the guest's next instruction; without it, "
                 "stores are followed once the command exited");
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
  if (!gdbSocket.empty() && setup.p2sbBusyReads > kMostWatchedBusyReads) {
    std::cerr << "boardlay: " << scenarioPath << ": \""
              << sim::scenario::kP2sbBusyReadsKey << "\" "
              << setup.p2sbBusyReads << " is more than the "
              << kMostWatchedBusyReads
              << " status reads the live board can watch in a boot\n";
    return kUsageError;
  }
  if (setup.readsZero) {
    std::cerr << "boardlay: " << scenarioPath << ": \""
              << sim::scenario::kReadsZeroKey
              << "\" describes unbacked windows; there is no "
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
    std::optional<boardlay::GuestWatch> watch;
    if (!gdbSocket.empty()) {
      watch.emplace(gdbSocket, board.StoreRanges(),
                    boardlay::AddressRange{facts::kP2sbStatus, 2});
    }
    const int status = boardlay::RunSupervised(
        command, kAttachLimit, [&] { return watch ? watch->Descriptor() : -1; },
        [&](bool ready) {
          if (watch) {
            Serve(*watch, board, ready, gdbSocket);
          }
        });
    // Without the watch the board has seen none of the command's stores
    // yet; with it, this finds nothing left to follow.
    board.Step();
    return WriteAccount(accountPath, board) ? status : kFailure;
  } catch (const std::exception &error) {
    std::cerr << "boardlay: " << error.what() << '\n';
    return kFailure;
  }
}
