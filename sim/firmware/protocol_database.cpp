#include "sim/firmware/protocol_database.h"

#include "sim/firmware/service_call.h"

namespace sim {

ProtocolDatabase::ProtocolDatabase(CallLog &calls, EventQueue &events,
                                   OpaqueHandles &opaque,
                                   EFI_SYSTEM_TABLE &systemTable)
    : calls_(calls),
      events_(events),
      opaque_(opaque),
      systemTable_(systemTable) {
  imageHandle_ = opaque_.Next();
  handles_[imageHandle_] = {};
}

EFI_STATUS ProtocolDatabase::InstallProtocolInterface(EFI_HANDLE *handle,
                                                      const EFI_GUID *guid,
                                                      EFI_INTERFACE_TYPE type,
                                                      VOID *interface) {
  if (handle == nullptr || guid == nullptr || type != EFI_NATIVE_INTERFACE) {
    return EFI_INVALID_PARAMETER;
  }
  return DoInstall(handle, *guid, interface);
}

EFI_STATUS ProtocolDatabase::Install(const EFI_GUID &guid, VOID *interface,
                                     EFI_HANDLE *handle) {
  EFI_HANDLE local = nullptr;
  EFI_HANDLE *target = handle != nullptr ? handle : &local;
  const size_t index = calls_.Record("InstallProtocolInterface",
                                     {reinterpret_cast<uint64_t>(*target), 0,
                                      reinterpret_cast<uint64_t>(interface)},
                                     &guid, Caller::Harness);
  const EFI_STATUS status = DoInstall(target, guid, interface);
  calls_.Finish(index, status, false);
  return status;
}

EFI_STATUS ProtocolDatabase::DoInstall(EFI_HANDLE *handle, const EFI_GUID &guid,
                                       VOID *interface) {
  if (*handle == nullptr) {
    *handle = opaque_.Next();
    handles_[*handle] = {};
  }
  auto found = handles_.find(*handle);
  if (found == handles_.end()) {
    return EFI_INVALID_PARAMETER;
  }
  for (const Interface &existing : found->second) {
    if (SameGuid(existing.guid, guid)) {
      return EFI_INVALID_PARAMETER;
    }
  }
  found->second.push_back({guid, interface, nextInterfaceOrder_++});

  for (auto &[key, registration] : registrations_) {
    if (SameGuid(registration.guid, guid)) {
      registration.newHandles.push_back(*handle);
      events_.MarkSignalled(registration.event);
    }
  }
  events_.DispatchPending();
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::UninstallProtocolInterface(EFI_HANDLE handle,
                                                        const EFI_GUID *guid,
                                                        VOID *interface) {
  if (guid == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  return DoUninstall(handle, *guid, interface);
}

EFI_STATUS ProtocolDatabase::Uninstall(EFI_HANDLE handle, const EFI_GUID &guid,
                                       VOID *interface) {
  const size_t index = calls_.Record("UninstallProtocolInterface",
                                     {reinterpret_cast<uint64_t>(handle), 0,
                                      reinterpret_cast<uint64_t>(interface)},
                                     &guid, Caller::Harness);
  const EFI_STATUS status = DoUninstall(handle, guid, interface);
  calls_.Finish(index, status, false);
  return status;
}

EFI_STATUS ProtocolDatabase::DoUninstall(EFI_HANDLE handle,
                                         const EFI_GUID &guid,
                                         VOID *interface) {
  auto found = handles_.find(handle);
  if (found == handles_.end()) {
    return EFI_INVALID_PARAMETER;
  }
  std::vector<Interface> &interfaces = found->second;
  for (auto it = interfaces.begin(); it != interfaces.end(); ++it) {
    if (SameGuid(it->guid, guid) && it->interface == interface) {
      interfaces.erase(it);
      if (interfaces.empty() && handle != imageHandle_) {
        handles_.erase(found);
      }
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS ProtocolDatabase::HandleProtocol(EFI_HANDLE handle,
                                            const EFI_GUID *guid,
                                            VOID **interface) {
  if (guid == nullptr || interface == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *interface = nullptr;
  auto found = handles_.find(handle);
  if (found == handles_.end()) {
    return EFI_INVALID_PARAMETER;
  }
  for (const Interface &existing : found->second) {
    if (SameGuid(existing.guid, *guid)) {
      *interface = existing.interface;
      return EFI_SUCCESS;
    }
  }
  return EFI_UNSUPPORTED;
}

EFI_STATUS ProtocolDatabase::RegisterProtocolNotify(const EFI_GUID *guid,
                                                    EFI_EVENT event,
                                                    VOID **registration) {
  if (guid == nullptr || registration == nullptr || !events_.IsOpen(event)) {
    return EFI_INVALID_PARAMETER;
  }
  VOID *key = opaque_.Next();
  registrations_[key] = {*guid, event, {}};
  *registration = key;
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::LocateProtocol(const EFI_GUID *guid,
                                            VOID *registration,
                                            VOID **interface) {
  if (guid == nullptr || interface == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *interface = nullptr;
  if (registration != nullptr) {
    auto found = registrations_.find(registration);
    if (found == registrations_.end()) {
      return EFI_NOT_FOUND;
    }
    std::vector<EFI_HANDLE> &pending = found->second.newHandles;
    while (!pending.empty()) {
      const EFI_HANDLE handle = pending.front();
      pending.erase(pending.begin());
      if (HandleProtocol(handle, guid, interface) == EFI_SUCCESS) {
        return EFI_SUCCESS;
      }
    }
    return EFI_NOT_FOUND;
  }
  const Interface *first = nullptr;
  for (const auto &[handle, interfaces] : handles_) {
    for (const Interface &existing : interfaces) {
      if (SameGuid(existing.guid, *guid) &&
          (first == nullptr || existing.order < first->order)) {
        first = &existing;
      }
    }
  }
  if (first == nullptr) {
    return EFI_NOT_FOUND;
  }
  *interface = first->interface;
  return EFI_SUCCESS;
}

EFI_STATUS ProtocolDatabase::InstallConfigurationTable(const EFI_GUID *guid,
                                                       VOID *table) {
  if (guid == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (auto it = configurationTable_.begin(); it != configurationTable_.end();
       ++it) {
    if (SameGuid(it->VendorGuid, *guid)) {
      if (table == nullptr) {
        configurationTable_.erase(it);
      } else {
        it->VendorTable = table;
      }
      PublishConfigurationTable();
      return EFI_SUCCESS;
    }
  }
  if (table == nullptr) {
    return EFI_NOT_FOUND;
  }
  AddConfigurationTable(*guid, table);
  return EFI_SUCCESS;
}

void ProtocolDatabase::AddConfigurationTable(const EFI_GUID &guid,
                                             VOID *table) {
  configurationTable_.push_back({guid, table});
  PublishConfigurationTable();
}

void ProtocolDatabase::PublishConfigurationTable() {
  systemTable_.NumberOfTableEntries = configurationTable_.size();
  systemTable_.ConfigurationTable = configurationTable_.data();
}

void ProtocolDatabase::ForgetNotifiesOf(EFI_EVENT event) {
  for (auto it = registrations_.begin(); it != registrations_.end();) {
    it = it->second.event == event ? registrations_.erase(it) : std::next(it);
  }
}

std::vector<EFI_HANDLE> ProtocolDatabase::HandlesWith(
    const EFI_GUID &guid) const {
  std::vector<EFI_HANDLE> result;
  for (const auto &[handle, interfaces] : handles_) {
    for (const Interface &existing : interfaces) {
      if (SameGuid(existing.guid, guid)) {
        result.push_back(handle);
      }
    }
  }
  return result;
}

VOID *ProtocolDatabase::FindInterface(const EFI_GUID &guid) const {
  VOID *interface = nullptr;
  const_cast<ProtocolDatabase *>(this)->LocateProtocol(&guid, nullptr,
                                                       &interface);
  return interface;
}

}  // namespace sim
