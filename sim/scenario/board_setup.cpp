#include "sim/scenario/board_setup.h"

#include "sim/facts/board.h"

namespace sim {

std::vector<BootStep> StepsFor(const std::vector<OutsideService> &preinstalled,
                               const std::vector<OutsideService> &services) {
  using Kind = BootStep::Kind;
  std::vector<BootStep> steps;
  for (OutsideService service : preinstalled) {
    steps.push_back({Kind::Install, service});
  }
  steps.push_back({Kind::Entry});
  for (OutsideService service : services) {
    steps.push_back({Kind::Install, service});
  }
  steps.push_back({Kind::ReadyToBoot});
  steps.push_back({Kind::ReadyToBoot});
  steps.push_back({Kind::Entry4});
  return steps;
}

std::map<uint64_t, uint16_t> BoardSetup::DefaultBridgeKeys() {
  std::map<uint64_t, uint16_t> keys;
  for (const facts::LanPort &port : facts::kLanPorts) {
    keys[port.key] = port.bridge;
  }
  return keys;
}

facts::PadCode GppB0Of(const BoardSetup &setup) {
  return facts::PadCodeOf(facts::SeriesOfLpcDeviceId(setup.pchDeviceId),
                          facts::kGppB0);
}

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

const char *ConfigurationTableName(ConfigurationTable table) {
  switch (table) {
    case ConfigurationTable::Acpi20:
      return "acpi20";
    case ConfigurationTable::HobList:
      return "hob_list";
  }
  return "?";
}

std::string StepName(const BootStep &step) {
  switch (step.kind) {
    case BootStep::Kind::Entry:
      return "entry";
    case BootStep::Kind::Install:
      return std::string("install ") + ServiceName(step.service);
    case BootStep::Kind::ReadyToBoot:
      return "ready_to_boot";
    case BootStep::Kind::Entry4:
      return "entry4";
    case BootStep::Kind::Entry4Exact:
      return "entry4_exact";
  }
  return "?";
}

const std::vector<std::string> &FaultableServices() {
  static const std::vector<std::string> services = {
      "LocateProtocol",
      "CreateEvent",
      "CreateEventEx",
      "RegisterProtocolNotify",
      "InstallProtocolInterface",
      "UninstallProtocolInterface",
      "CloseEvent",
      "FreePool",
      "InSmm",
      "SmbiosRecordService.ReadRecordByType",
      "SmbiosRecordService.DeleteRecord",
      "SetupStringService.ReplaceString",
  };
  return services;
}

}  // namespace sim
