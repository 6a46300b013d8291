// A scenario's board laid into the two window files: the model's values at
// their addresses, all-ones wherever the model holds nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "sim/facts/gpio_layout.h"
#include "tests/boardlay/board_files.h"

namespace {

using boardlaytest::LaidBoard;
using boardlaytest::ScratchDirectory;

std::vector<uint8_t> FileBytes(const std::string &path) {
  std::vector<uint8_t> bytes(std::filesystem::file_size(path));
  std::ifstream(path, std::ios::binary)
      .read(reinterpret_cast<char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

TEST(LaidBoard, FilesHoldTheModelsValuesAtTheirAddresses) {
  sim::BoardSetup setup;
  setup.straps = {1, 0, 1, 0};
  setup.macs[1] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  const uint64_t loaded = facts::PrivateRegister(0x6B, 0x0FF0);
  setup.registers[loaded] = 0x12345678;
  LaidBoard board(setup);

  EXPECT_EQ(board.pciGuest.Load<uint16_t>(facts::kLpcDeviceId),
            setup.pchDeviceId);
  EXPECT_EQ(board.pciGuest.Load<uint16_t>(facts::kP2sbVendorId),
            facts::kIntelVendorId);
  EXPECT_EQ(
      board.pciGuest.Load<uint16_t>(facts::kP2sbStatus) & facts::kP2sbBusy, 0);
  for (size_t i = 0; i < setup.straps.size(); ++i) {
    const uint32_t dw0 =
        board.privateGuest.Load<uint32_t>(facts::PadDw0(kH, facts::kGppK[i]));
    EXPECT_EQ((dw0 & facts::kDw0RxState) != 0, setup.straps[i] != 0)
        << "GPP_K" << i;
  }
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(facts::PadDw0(kH, facts::kGppB0)),
            setup.gppB0.dw0);
  const facts::RegisterBits lockTx = facts::PadLockTx(kH, facts::kGppB0);
  EXPECT_NE(board.privateGuest.Load<uint32_t>(lockTx.address) & lockTx.mask,
            0U);
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(loaded), 0x12345678U);
  for (size_t port = 0; port < setup.macs.size(); ++port) {
    const uint64_t receiveAddress =
        facts::kLanPorts[port].bar0 + facts::kReceiveAddressOffset;
    for (size_t i = 0; i < setup.macs[port].size(); ++i) {
      EXPECT_EQ(board.privateGuest.Load<uint8_t>(receiveAddress + i),
                setup.macs[port][i])
          << "controller " << port << " byte " << i;
    }
  }
}

// A stray byte where the model holds nothing is a register the guest would
// find that the board does not have.
TEST(LaidBoard, EveryByteTheModelDoesNotHoldIsAllOnes) {
  LaidBoard board(sim::BoardSetup{});
  const uint64_t size = boardlay::kWindowFileSize;
  std::vector<uint8_t> pciHeld(size);
  std::vector<uint8_t> privateHeld(size);
  board.chipset.ForEachRegister([&](uint64_t address, uint8_t width, uint32_t) {
    const bool inPci = facts::InPciWindow(address);
    std::vector<uint8_t> &held = inPci ? pciHeld : privateHeld;
    const uint64_t offset =
        address - (inPci ? facts::kPciWindowBase : facts::kPrivateWindowBase);
    for (unsigned i = 0; i < width / 8U; ++i) {
      held.at(offset + i) = 1;
    }
  });
  const struct {
    const char *name;
    std::string path;
    const std::vector<uint8_t> &held;
  } windows[] = {{"pci", board.directory / "pci.img", pciHeld},
                 {"private", board.directory / "private.img", privateHeld}};
  for (const auto &window : windows) {
    const std::vector<uint8_t> bytes = FileBytes(window.path);
    ASSERT_EQ(bytes.size(), size) << window.name;
    size_t stray = 0;
    size_t firstStray = 0;
    for (size_t i = 0; i < size; ++i) {
      if (!window.held[i] && bytes[i] != 0xFF && stray++ == 0) {
        firstStray = i;
      }
    }
    EXPECT_EQ(stray, 0U) << window.name << " window, first at offset 0x"
                         << std::hex << firstStray;
  }
}

TEST(LaidBoard, RegisterNeitherFileBacksIsRefused) {
  ScratchDirectory directory;
  sim::ChipsetModel chipset;
  // Bus 16: inside the PCI window, beyond the file's 16 buses.
  const uint64_t beyond = facts::PciRegister(facts::PciFunction(16, 0, 0), 0);
  chipset.OverrideRegister(beyond, 0x12345678);
  boardlay::WindowFile pci(directory / "pci.img", facts::kPciWindowBase);
  boardlay::WindowFile privateRegisters(directory / "private.img",
                                        facts::kPrivateWindowBase);
  try {
    boardlay::LayBoard(chipset, pci, privateRegisters);
    FAIL() << "laid a register at 0xE1000000";
  } catch (const std::runtime_error &error) {
    EXPECT_NE(std::string(error.what()).find("0xE1000000"), std::string::npos)
        << error.what();
  }
}

TEST(WindowFile, ReplacesAFileAlreadyThere) {
  ScratchDirectory directory;
  const std::string path = directory / "private.img";
  std::ofstream(path).close();
  std::filesystem::resize_file(path, 2 * boardlay::kWindowFileSize);
  boardlay::WindowFile file(path, facts::kPrivateWindowBase);
  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), boardlay::kWindowFileSize);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFF),
            static_cast<std::ptrdiff_t>(bytes.size()));
}

TEST(WindowFile, RefusesAccessesBeyondItsEnds) {
  ScratchDirectory directory;
  const uint64_t base = facts::kPrivateWindowBase;
  const uint64_t end = base + boardlay::kWindowFileSize;
  boardlay::WindowFile file(directory / "private.img", base);
  EXPECT_EQ(file.Load<uint32_t>(base), 0xFFFFFFFFU);
  EXPECT_EQ(file.Load<uint32_t>(end - 4), 0xFFFFFFFFU);
  EXPECT_THROW(file.Load<uint32_t>(base - 4), std::out_of_range);
  EXPECT_THROW(file.Load<uint32_t>(end - 2), std::out_of_range);
  EXPECT_THROW(file.Store<uint8_t>(end, 0), std::out_of_range);
}

}  // namespace
