// Everything that distinguishes one simulated board and boot from another:
// the chipset's state and which firmware services exist and when.
#ifndef BOARDCFG_SIM_BOARD_BOARD_SETUP_H
#define BOARDCFG_SIM_BOARD_BOARD_SETUP_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chipset/lan_devices.h"

namespace sim {

// How the board's P2SB answers; Error completes every message with
// completion status 1.
enum class P2sbBehaviour { Ok, Absent, Stuck, Error };
enum class OutsideService { PciLocation, Smbios, SetupStrings };

struct GppB0Setup {
  uint8_t owner = 0;
  bool txLocked = true;
  uint32_t dw0 = 0x44000201;
};

struct BoardSetup {
  uint16_t pchDeviceId = 0xA305;
  std::array<uint8_t, 4> straps = {0, 1, 1, 1};
  std::array<uint8_t, 4> strapOwners = {0, 0, 0, 0};
  GppB0Setup gppB0;
  P2sbBehaviour p2sb = P2sbBehaviour::Ok;
  std::array<DeviceKind, 2> lan = {DeviceKind::I210, DeviceKind::I210};
  std::array<MacAddress, 2> macs = {
      MacAddress{0x00, 0x1B, 0x21, 0xA0, 0x00, 0x01},
      MacAddress{0x00, 0x1B, 0x21, 0xA0, 0x00, 0x02}};
  unsigned slotRecords = 3;
  std::vector<OutsideService> services = {OutsideService::PciLocation,
                                          OutsideService::Smbios,
                                          OutsideService::SetupStrings};
  std::vector<OutsideService> preinstalled;
  bool smmBase = false;
  // Every read of both chipset windows answers 0, as unbacked memory does.
  bool readsZero = false;
  // Raw register values by physical address, over the model's defaults.
  std::map<uint64_t, uint32_t> registers;
};

const char *ServiceName(OutsideService service);
const char *P2sbName(P2sbBehaviour behaviour);
const char *LanDeviceName(DeviceKind device);

}  // namespace sim

#endif
