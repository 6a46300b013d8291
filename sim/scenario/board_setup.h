// Everything that distinguishes one simulated board and boot from another:
// the chipset's state, what the outside services answer, which firmware
// calls fail, and the order in which the boot unfolds.
#ifndef BOARDCFG_SIM_SCENARIO_BOARD_SETUP_H
#define BOARDCFG_SIM_SCENARIO_BOARD_SETUP_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/uefi.h"
#include "sim/chipset/lan_devices.h"
#include "sim/chipset/p2sb.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

// How the board's P2SB answers; Error completes every message with the
// setup's completion status.
enum class P2sbBehaviour : uint8_t { Ok, Absent, Stuck, Error };
enum class OutsideService : uint8_t { PciLocation, Smbios, SetupStrings };
// Configuration-table entries the firmware lists, in this order.
enum class ConfigurationTable : uint8_t { Acpi20, HobList };

// One thing that happens during the boot, as the rest of the firmware or
// another driver makes it happen.
struct BootStep {
  enum class Kind : uint8_t {
    Entry,        // the image's entry point runs
    Install,      // an outside service is installed
    ReadyToBoot,  // the ready-to-boot group is signalled
    Entry4,       // another driver asks the board service, entry 4 last
    Entry4Exact,  // entry 4 alone, with buffers of exactly the promised size
  };
  Kind kind;
  OutsideService service = OutsideService::PciLocation;  // Install only

  bool operator==(const BootStep &) const = default;
};

// The occurrence-th call (from 1; 0 for every call) of a firmware service
// returns the status instead: an error skips the service's work, a warning
// does the work and returns the warning.
struct InjectedFault {
  std::string service;
  EFI_STATUS status;
  unsigned occurrence;

  bool operator==(const InjectedFault &) const = default;
};

struct GppB0Setup {
  uint8_t owner = 0;
  bool txLocked = true;
  uint32_t dw0 = 0x44000201;

  bool operator==(const GppB0Setup &) const = default;
};

// The boot the simulator plays when a scenario names no steps: services
// listed as preinstalled, the entry, the other services in order,
// ready-to-boot twice, then the board service is asked.
std::vector<BootStep> StepsFor(const std::vector<OutsideService> &preinstalled,
                               const std::vector<OutsideService> &services);

struct BoardSetup {
  uint16_t pchDeviceId = facts::kDefaultLpcDeviceId;
  std::array<uint8_t, 4> straps = {0, 1, 1, 1};
  std::array<uint8_t, 4> strapOwners = {0, 0, 0, 0};
  GppB0Setup gppB0;
  P2sbBehaviour p2sb = P2sbBehaviour::Ok;
  uint8_t p2sbCompletion = 1;  // 1..3, for P2sbBehaviour::Error
  // Status reads a message stays busy for; the read after them completes
  // it. Up to the driver's poll limit, where its wait gives up first.
  uint32_t p2sbBusyReads = P2sb::kDefaultBusyReads;
  std::array<DeviceKind, 2> lan = {DeviceKind::I210, DeviceKind::I210};
  std::array<MacAddress, 2> macs = {
      MacAddress{0x00, 0x1B, 0x21, 0xA0, 0x00, 0x01},
      MacAddress{0x00, 0x1B, 0x21, 0xA0, 0x00, 0x02}};
  unsigned slotRecords = 3;
  bool smmBase = false;
  // Every read of both chipset windows answers 0, as unbacked memory does.
  bool readsZero = false;
  // Raw register values by physical address, over the model's defaults.
  std::map<uint64_t, uint32_t> registers;

  // What the bridge-location service answers for a key (0 for any other),
  // the board's two LAN bridges by default.
  std::map<uint64_t, uint16_t> bridgeKeys = DefaultBridgeKeys();
  // Copies the SMBIOS service hands back for a type-9 instance, whatever
  // its table holds: a service whose copies are malformed or name other
  // handles.
  std::map<uint8_t, std::vector<uint8_t>> recordCopies;
  // Reads report success but hand back no buffer: a faulty service.
  bool recordReadsWithoutBuffer = false;
  std::vector<InjectedFault> faults;
  std::vector<ConfigurationTable> configurationTables;
  std::vector<BootStep> steps =
      StepsFor({}, {OutsideService::PciLocation, OutsideService::Smbios,
                    OutsideService::SetupStrings});
  // Hostile hardware: every read of the chipset windows and of controller
  // memory takes fresh bytes from here, little-endian and as many as the
  // read is wide; once they are used up reads answer 0.
  std::optional<std::vector<uint8_t>> hostileReads;

  static std::map<uint64_t, uint16_t> DefaultBridgeKeys();
  bool operator==(const BoardSetup &) const = default;
};

// GPP_B0 in the layout of the setup's series.
facts::PadCode GppB0Of(const BoardSetup &setup);

// By the names of the scenario file (sim/scenario/scenario_keys.cpp).
const char *ServiceName(OutsideService service);
const char *P2sbName(P2sbBehaviour behaviour);
const char *LanDeviceName(DeviceKind device);
const char *ConfigurationTableName(ConfigurationTable table);
// "entry", "install smbios", "ready_to_boot", "entry4", "entry4_exact".
std::string StepName(const BootStep &step);

// Firmware services whose calls a scenario may make fail.
const std::vector<std::string> &FaultableServices();

}  // namespace sim

#endif
