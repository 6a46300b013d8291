// Shared set-up of the GPIO suites: a fresh board and image per test, and
// the trace as readable lines.
#ifndef BOARDCFG_TESTS_GPIO_GPIO_TEST_SUPPORT_H
#define BOARDCFG_TESTS_GPIO_GPIO_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gpio/gpio.h"
#include "sim/board/simulated_board.h"
#include "sim/hex_text.h"
#include "tests/trace_lines.h"

inline constexpr uint16_t kHDeviceId = 0xA305;
inline constexpr uint16_t kLpDeviceId = 0x9D84;
inline constexpr uint16_t kUndetectedDeviceId = 0x1234;
inline constexpr uint64_t kLpcDeviceIdAddress = 0xE00F8002;
// GPP_B's TX-lock register on an H-series PCH (port 0x6E, offset 0x08C).
inline constexpr uint64_t kHGppBLockTx = 0xFD6E008C;

// The series one of the device IDs above stands for, as a part of a test
// name; any other ID in hex.
inline std::string DeviceIdName(uint16_t lpcDeviceId) {
  switch (lpcDeviceId) {
    case kHDeviceId:
      return "H";
    case kLpDeviceId:
      return "Lp";
    case kUndetectedDeviceId:
      return "Undetected";
    default:
      return sim::Hex(lpcDeviceId, 4);
  }
}

class GpioTest : public ::testing::Test {
 protected:
  sim::ChipsetModel &Board() { return board_.Chipset(); }

  // Sets the board's series, lets the library detect it and clears the
  // trace, so that only what follows is traced.
  void StartOn(uint16_t lpcDeviceId) {
    Board().SetLpcDeviceId(lpcDeviceId);
    GetPchSeries();
    Board().Trace().Clear();
  }

  // The trace as lines of Describe(), without the LPC device-ID reads that
  // an undetected series repeats at every use; runs they split are folded.
  std::vector<std::string> TraceLines() {
    std::vector<sim::Access> kept;
    for (const sim::Access &access : Board().Trace().Entries()) {
      if (access.address == kLpcDeviceIdAddress) {
        continue;
      }
      if (!kept.empty() && kept.back().SameAccessAs(access)) {
        kept.back().count += access.count;
      } else {
        kept.push_back(access);
      }
    }
    std::vector<std::string> lines;
    for (const sim::Access &access : kept) {
      lines.push_back(sim::Describe(access));
    }
    return lines;
  }

  uint64_t AccessCount() { return Board().Trace().AccessCount(); }

 private:
  sim::SimulatedBoard board_;
};

#endif
