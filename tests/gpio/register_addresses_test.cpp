// The address helpers of the driver's register access: PCI configuration
// space in the enhanced configuration layout, and the private registers of
// a sideband port.
#include <gtest/gtest.h>

#include "platform/register_access.h"

namespace {

TEST(RegisterAddresses, PciConfigurationSpaceByBusDeviceFunctionAndOffset) {
  const struct {
    UINT32 bus;
    UINT32 device;
    UINT32 function;
    UINT32 offset;
    UINT32 address;
  } cases[] = {
      {0, 31, 1, 0xD0, 0xE00F90D0},
      {2, 0, 0, 0x10, 0xE0200010},
      {255, 31, 7, 0xFFF, 0xEFFFFFFF},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(PciConfigAddress(c.bus, c.device, c.function, c.offset),
              c.address);
    // The same function packed: bus in bits 15..8, device 7..3, function 2..0.
    const auto packed =
        static_cast<PciAddress16>(c.bus << 8 | c.device << 3 | c.function);
    EXPECT_EQ(PciConfigAddress(packed, c.offset), c.address);
  }
}

TEST(RegisterAddresses, PrivateRegisterByPortAndOffset) {
  const struct {
    UINT8 port;
    UINT32 offset;
    UINT32 address;
  } cases[] = {
      {0x6E, 0x0790, 0xFD6E0790},
      {0x6A, 0xFFFF, 0xFD6AFFFF},   // every offset bit of the port's window
      {0x6B, 0x12345, 0xFD6B2345},  // bits above 15 are not the port's
  };
  for (const auto &c : cases) {
    EXPECT_EQ(PrivateRegisterAddress(c.port, c.offset), c.address);
  }
}

}  // namespace
