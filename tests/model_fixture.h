// Every test starts from a freshly loaded image on a new firmware and board.
#ifndef BOARDCFG_TESTS_MODEL_FIXTURE_H
#define BOARDCFG_TESTS_MODEL_FIXTURE_H

#include <gtest/gtest.h>

#include "sim/chipset/chipset_model.h"
#include "sim/driver_state.h"
#include "sim/firmware/firmware_model.h"
#include "sim/services/service_doubles.h"

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetFirmware();
    sim::ResetChipset();
    sim::ResetServices();
    sim::ResetDriverState();
  }
  void TearDown() override {
    EXPECT_TRUE(firmware().Calls().Violations().empty())
        << "first: " << firmware().Calls().Violations().front();
  }
  static sim::FirmwareModel &firmware() { return sim::Firmware(); }
  static EFI_BOOT_SERVICES *boot() { return sim::Firmware().BootServices(); }
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
