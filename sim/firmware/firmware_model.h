// Host stand-in for the UEFI firmware: a system table and boot-services
// table whose functions reach the parts below, each keeping one record:
// the calls made, the events, the protocol database and the pool.
#ifndef BOARDCFG_SIM_FIRMWARE_FIRMWARE_MODEL_H
#define BOARDCFG_SIM_FIRMWARE_FIRMWARE_MODEL_H

#include <cstdint>

#include "platform/uefi.h"
#include "sim/firmware/call_log.h"
#include "sim/firmware/event_queue.h"
#include "sim/firmware/memory_services.h"
#include "sim/firmware/opaque_handles.h"
#include "sim/firmware/protocol_database.h"
#include "sim/firmware/smm_base_stand_in.h"

namespace sim {

class FirmwareModel {
 public:
  // Its calls take their numbers from `sequence`.
  explicit FirmwareModel(Sequence &sequence);
  FirmwareModel(const FirmwareModel &) = delete;
  FirmwareModel &operator=(const FirmwareModel &) = delete;

  EFI_SYSTEM_TABLE *SystemTable() { return &systemTable_; }
  EFI_BOOT_SERVICES *BootServices() { return &bootServices_; }
  EFI_HANDLE ImageHandle() const { return protocols_.ImageHandle(); }

  CallLog &Calls() { return calls_; }
  const CallLog &Calls() const { return calls_; }
  EventQueue &Events() { return events_; }
  const EventQueue &Events() const { return events_; }
  ProtocolDatabase &Protocols() { return protocols_; }
  const ProtocolDatabase &Protocols() const { return protocols_; }
  MemoryServices &Memory() { return memory_; }
  const MemoryServices &Memory() const { return memory_; }
  SmmBaseStandIn &SmmBase() { return smmBase_; }
  const SmmBaseStandIn &SmmBase() const { return smmBase_; }

  // Installs EFI_SMM_BASE2_PROTOCOL whose InSmm reports the given answer.
  void InstallSmmBase(BOOLEAN inSmm);

 private:
  EFI_SYSTEM_TABLE systemTable_{};
  EFI_BOOT_SERVICES bootServices_{};
  uint8_t runtimeServicesStandIn_[128]{};  // stored by the driver, never used

  OpaqueHandles opaque_;
  CallLog calls_;  // first of the parts: the others record through it
  EventQueue events_{calls_, opaque_};
  ProtocolDatabase protocols_{calls_, events_, opaque_, systemTable_};
  MemoryServices memory_{calls_};
  SmmBaseStandIn smmBase_;
};

}  // namespace sim

#endif
