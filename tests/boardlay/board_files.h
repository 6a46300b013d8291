// What the boardlay tests share: a scratch directory of this process, a
// guest's view of a window file, and a scenario's board laid into files.
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
