// Handle and protocol database, the notifications of installations, and
// the configuration table the system table lists.
#ifndef BOARDCFG_SIM_FIRMWARE_PROTOCOL_DATABASE_H
#define BOARDCFG_SIM_FIRMWARE_PROTOCOL_DATABASE_H

#include <cstdint>
#include <map>
#include <vector>

#include "platform/uefi.h"
#include "sim/firmware/call_log.h"
#include "sim/firmware/event_queue.h"
#include "sim/firmware/opaque_handles.h"

namespace sim {

class ProtocolDatabase {
 public:
  // Creates the image handle. The configuration table is published
  // through the given system table.
  ProtocolDatabase(CallLog &calls, EventQueue &events, OpaqueHandles &opaque,
                   EFI_SYSTEM_TABLE &systemTable);
  ProtocolDatabase(const ProtocolDatabase &) = delete;
  ProtocolDatabase &operator=(const ProtocolDatabase &) = delete;

  EFI_HANDLE ImageHandle() const { return imageHandle_; }

  // --- The services, as the boot-services table calls them -------------
  EFI_STATUS InstallProtocolInterface(EFI_HANDLE *handle, const EFI_GUID *guid,
                                      EFI_INTERFACE_TYPE type, VOID *interface);
  EFI_STATUS UninstallProtocolInterface(EFI_HANDLE handle, const EFI_GUID *guid,
                                        VOID *interface);
  EFI_STATUS HandleProtocol(EFI_HANDLE handle, const EFI_GUID *guid,
                            VOID **interface);
  EFI_STATUS RegisterProtocolNotify(const EFI_GUID *guid, EFI_EVENT event,
                                    VOID **registration);
  EFI_STATUS InstallConfigurationTable(const EFI_GUID *guid, VOID *table);
  EFI_STATUS LocateProtocol(const EFI_GUID *guid, VOID *registration,
                            VOID **interface);

  // --- Acting as the rest of the firmware ------------------------------
  EFI_STATUS Install(const EFI_GUID &guid, VOID *interface,
                     EFI_HANDLE *handle = nullptr);
  EFI_STATUS Uninstall(EFI_HANDLE handle, const EFI_GUID &guid,
                       VOID *interface);
  void AddConfigurationTable(const EFI_GUID &guid, VOID *table);
  // Drops the notify registrations of an event that was closed.
  void ForgetNotifiesOf(EFI_EVENT event);

  // --- What is installed -----------------------------------------------
  std::vector<EFI_HANDLE> HandlesWith(const EFI_GUID &guid) const;
  VOID *FindInterface(const EFI_GUID &guid) const;

 private:
  struct Interface {
    EFI_GUID guid;
    VOID *interface;
    uint64_t order;
  };
  struct Registration {
    EFI_GUID guid;
    EFI_EVENT event;
    std::vector<EFI_HANDLE> newHandles;
  };

  EFI_STATUS DoInstall(EFI_HANDLE *handle, const EFI_GUID &guid,
                       VOID *interface);
  EFI_STATUS DoUninstall(EFI_HANDLE handle, const EFI_GUID &guid,
                         VOID *interface);
  void PublishConfigurationTable();

  CallLog &calls_;
  EventQueue &events_;
  OpaqueHandles &opaque_;
  EFI_SYSTEM_TABLE &systemTable_;
  EFI_HANDLE imageHandle_ = nullptr;
  std::map<EFI_HANDLE, std::vector<Interface>> handles_;
  uint64_t nextInterfaceOrder_ = 0;
  std::map<VOID *, Registration> registrations_;
  std::vector<EFI_CONFIGURATION_TABLE> configurationTable_;
};

}  // namespace sim

#endif
