// One call of a firmware service, as the model records it.
#ifndef BOARDCFG_SIM_FIRMWARE_SERVICE_CALL_H
#define BOARDCFG_SIM_FIRMWARE_SERVICE_CALL_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/uefi.h"
#include "sim/status_names.h"

namespace sim {

enum class Caller : uint8_t {
  Driver,   // through the system table or an interface record
  Harness,  // a test or tool acting as the rest of the firmware
};

struct ServiceCall {
  std::string service;  // "CreateEvent", "SmbiosRecordService.DeleteRecord"
  std::vector<uint64_t> args;    // every argument, pointers as addresses
  std::optional<EFI_GUID> guid;  // the GUID argument, copied
  EFI_STATUS status = EFI_SUCCESS;
  bool injected = false;  // the status was a chosen fault
  Caller caller = Caller::Driver;
  uint64_t sequence = 0;
};

std::string FormatGuid(const EFI_GUID &guid);
bool SameGuid(const EFI_GUID &a, const EFI_GUID &b);
std::string Describe(const ServiceCall &call);

}  // namespace sim

#endif
