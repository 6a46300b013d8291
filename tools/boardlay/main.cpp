// boardlay: lays a boardsim scenario's board into two memory files, one per
// chipset window, from the chipset model that boardsim plays; given a command
// (QEMU mapping the files), it runs it and keeps the board live while it runs.
//
// Memory answers loads and stores but cannot act, so while the command runs
// the model acts in its place, right after each guest store it sees in the
// files: a P2SB message started by the busy bit is handed to the model's own
// P2SB, and a store to a private register is handed to the model's GPIO
// communities, whose resulting value (a TX state kept under its lock, a
// read-only lock or ownership register left as it was) goes back to memory.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "sim/chipset/chipset_model.h"
#include "sim/chipset/gpio_community.h"
#include "sim/chipset/pci_config_space.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/outcome/chipset_json.h"
#include "sim/scenario/chipset_setup.h"
#include "sim/scenario/scenario_file.h"

namespace {

using nlohmann::json;

constexpr int kUsageError = 2;
constexpr int kFailure = 1;
constexpr size_t kWindowSize = 0x01000000;  // what one shared file backs
constexpr uint64_t kPciBase = facts::kPciWindowBase;
constexpr uint64_t kPrivateBase = sim::GpioCommunities::kBase;
constexpr uint64_t kP2sbBase = kPciBase + 0xF9000;
constexpr uint64_t kP2sbStatus = kP2sbBase + 0xD8;
// Between looks at the files; a message's wait in the image allows far
// longer (0x0FFFFFFF status reads).
constexpr long kPollNanoseconds = 100000;

std::string Hex(uint64_t value, int digits = 8) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits,
                static_cast<unsigned long long>(value));
  return text;
}

// One window's file, mapped shared so the guest's stores are seen at once.
class WindowFile {
 public:
  WindowFile(const std::string &path, uint64_t base) : base_(base) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, kWindowSize) != 0) {
      const std::string reason = std::strerror(errno);
      if (fd >= 0) {
        close(fd);
      }
      throw std::runtime_error("cannot create " + path + ": " + reason);
    }
    void *mapped =
        mmap(nullptr, kWindowSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) {
      throw std::runtime_error("cannot map " + path + ": " +
                               std::strerror(errno));
    }
    bytes_ = static_cast<uint8_t *>(mapped);
    // Nothing modelled answers all-ones, as the model answers it.
    std::memset(bytes_, 0xFF, kWindowSize);
  }
  ~WindowFile() {
    msync(bytes_, kWindowSize, MS_SYNC);
    munmap(bytes_, kWindowSize);
  }
  WindowFile(const WindowFile &) = delete;
  WindowFile &operator=(const WindowFile &) = delete;

  bool Holds(uint64_t address, unsigned size) const {
    return address >= base_ && address + size <= base_ + kWindowSize;
  }
  template <typename T>
  T Load(uint64_t address) const {
    return __atomic_load_n(reinterpret_cast<T *>(bytes_ + (address - base_)),
                           __ATOMIC_ACQUIRE);
  }
  template <typename T>
  void Store(uint64_t address, T value) {
    __atomic_store_n(reinterpret_cast<T *>(bytes_ + (address - base_)), value,
                     __ATOMIC_RELEASE);
  }

 private:
  uint64_t base_;
  uint8_t *bytes_ = nullptr;
};

// Writes every value the model holds into the file of its window.
void LayBoard(const sim::ChipsetModel &chipset, WindowFile &pci,
              WindowFile &privateWindow) {
  std::string outside;
  chipset.ForEachRegister([&](uint64_t address, uint8_t width, uint32_t value) {
    WindowFile *file = pci.Holds(address, width / 8) ? &pci
                       : privateWindow.Holds(address, width / 8)
                           ? &privateWindow
                           : nullptr;
    if (file == nullptr) {
      if (outside.empty()) {
        outside = Hex(address);
      }
      return;
    }
    if (width == 32) {
      file->Store<uint32_t>(address, value);
    } else {
      file->Store<uint8_t>(address, static_cast<uint8_t>(value));
    }
  });
  if (!outside.empty()) {
    // Controller memory must sit inside a window, or nothing backs it.
    throw std::runtime_error("the board holds a register at " + outside +
                             ", outside the two 16 MiB windows");
  }
}

// GPP_B0 is pad 0 of group 1 in both series' layouts: where its DW0 and its
// TX-lock bit (bit 0) lie on this board.
json GppB0Registers(const sim::ChipsetModel &chipset) {
  const auto id =
      static_cast<uint16_t>(chipset.Peek(facts::kLpcDeviceId, 16).value_or(0));
  const facts::Series series = facts::SeriesOfLpcDeviceId(id);
  return {{"dw0_address", Hex(facts::PadDw0(series, facts::kGppB0))},
          {"lock_tx_address",
           Hex(facts::PadLockTx(series, facts::kGppB0).address)}};
}

struct PrivateRegister {
  uint64_t address;
  uint32_t value;  // as last seen in memory and agreed by the model
};

// The board while the guest runs: the model, kept in step with the files.
class LiveBoard {
 public:
  LiveBoard(sim::ChipsetModel &chipset, WindowFile &pci,
            WindowFile &privateWindow)
      : chipset_(chipset), pci_(pci), private_(privateWindow) {
    chipset_.ForEachRegister(
        [&](uint64_t address, uint8_t width, uint32_t value) {
          if (width == 32 && private_.Holds(address, 4)) {
            registers_.push_back({address, value});
          }
        });
    lastBusy_ = (pci_.Load<uint16_t>(kP2sbStatus) & 1) != 0;
  }

  void Step() {
    FollowPrivateStores();
    const uint16_t status = pci_.Load<uint16_t>(kP2sbStatus);
    const bool busy = (status & 1) != 0;
    if (busy && !lastBusy_) {
      ServeMessage(status);
    } else {
      lastBusy_ = busy;
    }
  }

  json Account() const {
    json notes = json::array();
    for (const std::string &note : chipset_.Notes()) {
      notes.push_back(note);
    }
    return {{"gpp_b0", GppB0Registers(chipset_)},
            {"messages", messages_},
            {"stores_changed", changed_},
            {"notes", notes}};
  }

 private:
  // A store the guest made to a private register goes through the model's
  // store rules; what the model keeps is what memory holds afterwards.
  void FollowPrivateStores() {
    for (PrivateRegister &reg : registers_) {
      const uint32_t stored = private_.Load<uint32_t>(reg.address);
      if (stored == reg.value) {
        continue;
      }
      chipset_.Write(reg.address, 32, stored);
      const uint32_t kept = chipset_.Peek(reg.address).value_or(stored);
      if (kept != stored) {
        private_.Store<uint32_t>(reg.address, kept);
        changed_.push_back({{"address", Hex(reg.address)},
                            {"stored", Hex(stored)},
                            {"kept", Hex(kept)}});
      }
      reg.value = kept;
    }
  }

  // The guest set busy: the message registers as it left them go to the
  // model's P2SB in the driver's order, the status register last, and the
  // P2SB's answer (the lock register reached, then the status) comes back.
  void ServeMessage(uint16_t status) {
    const size_t before = chipset_.SidebandMessages().size();
    chipset_.Write(kP2sbBase + 0xD0, 32, pci_.Load<uint32_t>(kP2sbBase + 0xD0));
    chipset_.Write(kP2sbBase + 0xDC, 32, pci_.Load<uint32_t>(kP2sbBase + 0xDC));
    chipset_.Write(kP2sbBase + 0xDA, 16, pci_.Load<uint16_t>(kP2sbBase + 0xDA));
    chipset_.Write(kP2sbBase + 0xD4, 32, pci_.Load<uint32_t>(kP2sbBase + 0xD4));
    chipset_.Write(kP2sbStatus, 16, status);

    if (chipset_.SidebandMessages().size() > before) {
      const sim::SidebandMessage &message = chipset_.SidebandMessages().back();
      json served = sim::SidebandMessageJson(message);
      if (message.applied) {
        const uint64_t lock = facts::PrivateRegister(
            message.port, static_cast<uint16_t>(message.offset));
        const uint32_t was = private_.Load<uint32_t>(lock);
        const uint32_t now = chipset_.Peek(lock).value_or(was);
        private_.Store<uint32_t>(lock, now);
        for (PrivateRegister &reg : registers_) {
          if (reg.address == lock) {
            reg.value = now;
          }
        }
        served["lock_register"] = Hex(lock);
        served["lock_before"] = Hex(was);
        served["lock_after"] = Hex(now);
      }
      messages_.push_back(served);
    }
    const uint16_t answer =
        static_cast<uint16_t>(chipset_.Peek(kP2sbStatus, 16).value_or(status));
    pci_.Store<uint16_t>(kP2sbStatus, answer);
    lastBusy_ = (answer & 1) != 0;
  }

  sim::ChipsetModel &chipset_;
  WindowFile &pci_;
  WindowFile &private_;
  std::vector<PrivateRegister> registers_;
  bool lastBusy_ = false;
  json messages_ = json::array();
  json changed_ = json::array();
};

volatile sig_atomic_t forwardedSignal = 0;
pid_t child = -1;

void Forward(int signal) {
  forwardedSignal = signal;
  if (child > 0) {
    kill(child, signal);
  }
}

bool WriteAccount(const std::string &path, const LiveBoard &board) {
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

// Runs the command with the board live; its exit status is returned.
int RunLive(std::vector<std::string> command, LiveBoard &board,
            const std::string &accountPath) {
  struct sigaction action = {};
  action.sa_handler = Forward;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
  const pid_t parent = getpid();
  child = fork();
  if (child < 0) {
    std::perror("boardlay: fork");
    return kFailure;
  }
  if (child == 0) {
    // The command does not outlive the board that serves it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
      _exit(kFailure);
    }
    std::vector<char *> argv;
    for (std::string &word : command) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "boardlay: cannot run %s: %s\n", argv[0],
                 std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  const timespec pause = {0, kPollNanoseconds};
  while (true) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    board.Step();
    if (done == child) {
      break;
    }
    if (done < 0 && errno != EINTR) {
      std::perror("boardlay: waitpid");
      return kFailure;
    }
    nanosleep(&pause, nullptr);
  }
  if (!WriteAccount(accountPath, board)) {
    return kFailure;
  }
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "Lays a boardsim scenario's board into the memory files of the PCI "
      "configuration window (0xE0000000) and the private-register window "
      "(0xFD000000). With a command after --, runs it (QEMU mapping the "
      "files) and serves the P2SB and the GPIO store rules until it exits."};
  std::string scenarioPath;
  std::string pciPath;
  std::string privatePath;
  std::string accountPath;
  std::vector<std::string> command;
  app.add_option("SCENARIO.json", scenarioPath, "board scenario")->required();
  app.add_option("--pci-window", pciPath, "file for 0xE0000000, 16 MiB")
      ->required();
  app.add_option("--private-window", privatePath, "file for 0xFD000000, 16 MiB")
      ->required();
  app.add_option("--account", accountPath,
                 "JSON of what the board did while the command ran: "
                 "P2SB messages served, stores the model changed, notes");
  app.add_option("command", command, "command to run with the board live");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "boardlay: " << error.what() << '\n';
    return kUsageError;
  }

  std::error_code sameError;
  if (pciPath == privatePath ||
      std::filesystem::equivalent(pciPath, privatePath, sameError)) {
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
    WindowFile pci(pciPath, kPciBase);
    WindowFile privateWindow(privatePath, kPrivateBase);
    LayBoard(chipset, pci, privateWindow);
    if (command.empty()) {
      return 0;
    }
    LiveBoard board(chipset, pci, privateWindow);
    return RunLive(command, board, accountPath);
  } catch (const std::exception &error) {
    std::cerr << "boardlay: " << error.what() << '\n';
    return kFailure;
  }
}
