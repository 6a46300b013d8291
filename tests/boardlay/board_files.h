// What the boardlay tests share: a scratch directory of this process, a
// guest's view of a window file, a sideband message started through it,
// and a scenario's board laid into files.
#ifndef BOARDCFG_TESTS_BOARDLAY_BOARD_FILES_H
#define BOARDCFG_TESTS_BOARDLAY_BOARD_FILES_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "sim/chipset/chipset_model.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/scenario/board_setup.h"
#include "sim/scenario/chipset_setup.h"
#include "tools/boardlay/live_board.h"
#include "tools/boardlay/window_file.h"

// The boards of these tests are of the H series.
inline constexpr facts::Series kH = facts::Series::H;
inline constexpr uint64_t kGppB0Dw0 = facts::PadDw0(kH, facts::kGppB0);
inline constexpr facts::RegisterBits kGppB0LockTx =
    facts::PadLockTx(kH, facts::kGppB0);
inline constexpr facts::GpioPad kGppB1 = {1, 1};
inline constexpr uint8_t kGppB0Port = facts::GroupOf(kH, facts::kGppB0).port;

namespace boardlaytest {

// Test processes of this and of other build trees run side by side and
// share the temporary directory; each works in a directory of its own.
class ScratchDirectory {
 public:
  ScratchDirectory()
      : path_(::testing::TempDir() + "boardlay-" + std::to_string(getpid())) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory &operator=(const ScratchDirectory &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  std::string operator/(const std::string &name) const {
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

// A window file as the guest reaches it: through the file itself, not
// through the mapping the board keeps.
class GuestWindow {
 public:
  GuestWindow(const std::string &path, uint64_t base)
      : fd_(open(path.c_str(), O_RDWR)), base_(base) {
    if (fd_ < 0) {
      throw std::runtime_error("cannot open " + path);
    }
  }
  ~GuestWindow() { close(fd_); }
  GuestWindow(const GuestWindow &) = delete;
  GuestWindow &operator=(const GuestWindow &) = delete;

  template <typename T>
  T Load(uint64_t address) const {
    T value{};
    if (pread(fd_, &value, sizeof value, Offset(address)) != sizeof value) {
      throw std::runtime_error("short read");
    }
    return value;
  }
  template <typename T>
  void Store(uint64_t address, T value) {
    if (pwrite(fd_, &value, sizeof value, Offset(address)) != sizeof value) {
      throw std::runtime_error("short write");
    }
  }

 private:
  off_t Offset(uint64_t address) const {
    return static_cast<off_t>(address - base_);
  }

  int fd_;
  uint64_t base_;
};

// As the driver sends one: the message registers, then the opcode with busy.
inline void StartMessage(GuestWindow &pci, uint8_t port, uint16_t offset,
                         uint32_t data) {
  pci.Store<uint32_t>(facts::kP2sbAddress, uint32_t{port} << 24 | offset);
  pci.Store<uint32_t>(facts::kP2sbExtendedAddress, 0);
  pci.Store<uint16_t>(facts::kP2sbRouting, 0);
  pci.Store<uint32_t>(facts::kP2sbData, data);
  pci.Store<uint16_t>(facts::kP2sbStatus,
                      facts::kSidebandGpioLockOpcode << 8 | facts::kP2sbBusy);
}

// A scenario's board as boardlay lays it, the guest's view of both files
// beside it.
struct LaidBoard {
  explicit LaidBoard(const sim::BoardSetup &setup) {
    sim::ConfigureChipset(chipset, setup);
    boardlay::LayBoard(chipset, pci, privateRegisters);
  }

  ScratchDirectory directory;
  sim::ChipsetModel chipset;
  boardlay::WindowFile pci{directory / "pci.img", facts::kPciWindowBase};
  boardlay::WindowFile privateRegisters{directory / "private.img",
                                        facts::kPrivateWindowBase};
  GuestWindow pciGuest{directory / "pci.img", facts::kPciWindowBase};
  GuestWindow privateGuest{directory / "private.img",
                           facts::kPrivateWindowBase};
};

}  // namespace boardlaytest

#endif
