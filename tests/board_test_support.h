// Whole-driver tests: a simulated boot per test, and readable views of what
// reached the hardware and the services.
#ifndef BOARDCFG_TESTS_BOARD_TEST_SUPPORT_H
#define BOARDCFG_TESTS_BOARD_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"

inline size_t CountAccesses(const sim::SimulatedBoot &boot, sim::AccessOp op,
                            uint64_t address) {
  size_t count = 0;
  for (const sim::Access &access : boot.Board().Chipset().Trace().Entries()) {
    if (access.op == op && access.address == address) {
      count += access.count;
    }
  }
  return count;
}

inline size_t CountCalls(const sim::SimulatedBoot &boot,
                         const std::string &service) {
  return boot.Board().Firmware().Calls().To(service).size();
}

// What every boot must leave behind, whatever the board.
inline void ExpectSoundBoot(const sim::SimulatedBoot &boot) {
  for (const std::string &broken : sim::CheckInvariants(boot)) {
    ADD_FAILURE() << broken;
  }
  EXPECT_EQ(boot.Board().Firmware().Memory().OutstandingPoolBuffers(), 0U);
}

#endif
