#include "sim/board/board_setup.h"

namespace sim {

const char *ServiceName(OutsideService service) {
  switch (service) {
    case OutsideService::PciLocation:
      return "pci_location";
    case OutsideService::Smbios:
      return "smbios";
    case OutsideService::SetupStrings:
      return "setup_strings";
  }
  return "?";
}

const char *P2sbName(P2sbBehaviour behaviour) {
  switch (behaviour) {
    case P2sbBehaviour::Ok:
      return "ok";
    case P2sbBehaviour::Absent:
      return "absent";
    case P2sbBehaviour::Stuck:
      return "stuck";
    case P2sbBehaviour::Error:
      return "error";
  }
  return "?";
}

const char *LanDeviceName(DeviceKind device) {
  switch (device) {
    case DeviceKind::I210:
      return "i210";
    case DeviceKind::Other:
      return "other";
    case DeviceKind::None:
      return "none";
  }
  return "?";
}

}  // namespace sim
