// Trace lines name the register each access reaches, from the models' own
// facts, in the layout of the series the board has.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sim/chipset/register_names.h"

namespace {

using facts::Series;

TEST(RegisterNames, EachKindOfRegisterByItsName) {
  const struct {
    uint64_t address;
    Series series;
    const char *name;
  } cases[] = {
      {0xE00F8002, Series::H, "LPC device ID"},
      {0xE00F9000, Series::H, "P2SB vendor ID"},
      {0xE00F90D0, Series::H, "P2SB address"},
      {0xE00F90D4, Series::H, "P2SB data"},
      {0xE00F90D8, Series::Lp, "P2SB status"},
      {0xE00F90DA, Series::H, "P2SB routing"},
      {0xE00F90DC, Series::H, "P2SB extended address"},
      {0xE00E001A, Series::H, "LAN port 1 bridge subordinate bus"},
      {0xE0300000, Series::H, "LAN port 2 IDs"},
      {0xE0200004, Series::H, "LAN port 1 command"},
      {0xE0300010, Series::H, "LAN port 2 BAR0"},
      {0xFDF25405, Series::H, "LAN port 2 receive address[5]"},
      {0xFD6B0020, Series::H, "GPP_K own[0]"},
      {0xFD6B0024, Series::H, "GPP_K own[1]"},
      {0xFD6B0630, Series::H, "GPP_K3 DW0"},
      {0xFD6B0634, Series::H, "GPP_K3 DW1"},
      {0xFD6E0790, Series::H, "GPP_B0 DW0"},
      {0xFD6E0790, Series::Lp, "GPP_B0 DW0"},
      {0xFD6E008C, Series::H, "GPP_B lock tx[0]"},
      {0xFD6D00AC, Series::H, "VGPIO lock tx[1]"},
      {0xFD6E0088, Series::Lp, "GPP_B lock[0]"},
      {0xFD6E01A4, Series::H, "GPP_B SMI enable[0]"},
      {0xFD6E00C4, Series::H, "GPP_B host software own[0]"},
      {0xFD6E00B4, Series::Lp, "GPP_B host software own[0]"},
      // The same offset in another layout belongs to another group.
      {0xFD6B0020, Series::Lp, "AZA own[0]"},
      {0xE0108004, Series::H, "01:01.0 +0x004"},
      {0xFD6B0FF0, Series::H, ""},
      {0xFE000000, Series::H, ""},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(sim::RegisterName(c.address, c.series), c.name)
        << std::hex << c.address;
  }
}

}  // namespace
