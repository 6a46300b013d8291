// Every test starts from a freshly loaded image on a board of its own.
#ifndef BOARDCFG_TESTS_MODEL_FIXTURE_H
#define BOARDCFG_TESTS_MODEL_FIXTURE_H

#include <gtest/gtest.h>

#include "sim/board/simulated_board.h"

class ModelTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_TRUE(firmware().Calls().Violations().empty())
        << "first: " << firmware().Calls().Violations().front();
  }
  sim::FirmwareModel &firmware() { return board_.Firmware(); }
  sim::ChipsetModel &chipset() { return board_.Chipset(); }
  sim::ServiceDoubles &services() { return board_.Services(); }
  EFI_BOOT_SERVICES *boot() { return board_.Firmware().BootServices(); }

 private:
  sim::SimulatedBoard board_;
};

template <typename T>
uint64_t Address(T *pointer) {
  return reinterpret_cast<uint64_t>(pointer);
}

template <typename R, typename... A>
uint64_t Address(R(EFIAPI *function)(A...)) {
  return reinterpret_cast<uint64_t>(function);
}

#endif
