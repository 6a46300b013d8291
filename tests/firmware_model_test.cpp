#include <gtest/gtest.h>

#include "sim/firmware/firmware_model.h"

TEST(FirmwareModelSmoke, Builds) { sim::ResetFirmware(); }
