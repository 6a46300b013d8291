// The boot-services functions as the driver calls them: each records the
// call in the firmware's call log and forwards to the part that serves it.
#include "sim/firmware/boot_services_table.h"

#include <type_traits>

#include "sim/board/simulated_board.h"

namespace sim {

namespace {

template <typename T>
uint64_t Arg(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<uint64_t>(value);
  } else {
    return static_cast<uint64_t>(value);
  }
}

EFI_TPL EFIAPI RaiseTplEntry(EFI_TPL newTpl) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  const size_t index = firmware.Calls().Record("RaiseTPL", {newTpl});
  const EFI_TPL old = firmware.Events().RaiseTpl(newTpl);
  firmware.Calls().Finish(index, old, false);
  return old;
}

VOID EFIAPI RestoreTplEntry(EFI_TPL oldTpl) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  const size_t index = firmware.Calls().Record("RestoreTPL", {oldTpl});
  firmware.Calls().Finish(index, EFI_SUCCESS, false);
  firmware.Events().RestoreTpl(oldTpl);
}

EFI_STATUS EFIAPI AllocatePoolEntry(EFI_MEMORY_TYPE type, UINTN size,
                                    VOID **buffer) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "AllocatePool", {Arg(type), size, Arg(buffer)}, nullptr,
      [&] { return firmware.Memory().AllocatePool(type, size, buffer); });
}

EFI_STATUS EFIAPI FreePoolEntry(VOID *buffer) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve("FreePool", {Arg(buffer)}, nullptr, [&] {
    return firmware.Memory().FreePool(buffer);
  });
}

EFI_STATUS EFIAPI CreateEventEntry(UINT32 type, EFI_TPL notifyTpl,
                                   EFI_EVENT_NOTIFY notify, VOID *context,
                                   EFI_EVENT *event) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "CreateEvent", {type, notifyTpl, Arg(notify), Arg(context), Arg(event)},
      nullptr, [&] {
        return firmware.Events().CreateEvent(type, notifyTpl, notify, context,
                                             nullptr, event);
      });
}

EFI_STATUS EFIAPI CreateEventExEntry(UINT32 type, EFI_TPL notifyTpl,
                                     EFI_EVENT_NOTIFY notify,
                                     const VOID *context, const EFI_GUID *group,
                                     EFI_EVENT *event) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "CreateEventEx",
      {type, notifyTpl, Arg(notify), Arg(context), Arg(group), Arg(event)},
      group, [&] {
        return firmware.Events().CreateEvent(type, notifyTpl, notify, context,
                                             group, event);
      });
}

EFI_STATUS EFIAPI SignalEventEntry(EFI_EVENT event) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve("SignalEvent", {Arg(event)}, nullptr, [&] {
    return firmware.Events().SignalEvent(event);
  });
}

EFI_STATUS EFIAPI CloseEventEntry(EFI_EVENT event) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve("CloseEvent", {Arg(event)}, nullptr, [&] {
    return firmware.Events().CloseEvent(event);
  });
}

EFI_STATUS EFIAPI CheckEventEntry(EFI_EVENT event) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve("CheckEvent", {Arg(event)}, nullptr, [&] {
    return firmware.Events().CheckEvent(event);
  });
}

EFI_STATUS EFIAPI InstallProtocolInterfaceEntry(EFI_HANDLE *handle,
                                                EFI_GUID *guid,
                                                EFI_INTERFACE_TYPE type,
                                                VOID *interface) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "InstallProtocolInterface",
      {Arg(handle), Arg(guid), Arg(type), Arg(interface)}, guid, [&] {
        return firmware.Protocols().InstallProtocolInterface(handle, guid, type,
                                                             interface);
      });
}

EFI_STATUS EFIAPI UninstallProtocolInterfaceEntry(EFI_HANDLE handle,
                                                  EFI_GUID *guid,
                                                  VOID *interface) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "UninstallProtocolInterface", {Arg(handle), Arg(guid), Arg(interface)},
      guid, [&] {
        return firmware.Protocols().UninstallProtocolInterface(handle, guid,
                                                               interface);
      });
}

EFI_STATUS EFIAPI HandleProtocolEntry(EFI_HANDLE handle, EFI_GUID *guid,
                                      VOID **interface) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "HandleProtocol", {Arg(handle), Arg(guid), Arg(interface)}, guid, [&] {
        return firmware.Protocols().HandleProtocol(handle, guid, interface);
      });
}

EFI_STATUS EFIAPI RegisterProtocolNotifyEntry(EFI_GUID *guid, EFI_EVENT event,
                                              VOID **registration) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "RegisterProtocolNotify", {Arg(guid), Arg(event), Arg(registration)},
      guid, [&] {
        return firmware.Protocols().RegisterProtocolNotify(guid, event,
                                                           registration);
      });
}

EFI_STATUS EFIAPI InstallConfigurationTableEntry(EFI_GUID *guid, VOID *table) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "InstallConfigurationTable", {Arg(guid), Arg(table)}, guid, [&] {
        return firmware.Protocols().InstallConfigurationTable(guid, table);
      });
}

EFI_STATUS EFIAPI LocateProtocolEntry(EFI_GUID *guid, VOID *registration,
                                      VOID **interface) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  const EFI_STATUS status = firmware.Calls().Serve(
      "LocateProtocol", {Arg(guid), Arg(registration), Arg(interface)}, guid,
      [&] {
        return firmware.Protocols().LocateProtocol(guid, registration,
                                                   interface);
      });
  // A failed lookup hands back no interface, as the firmware's does.
  if (EFI_ERROR(status) && interface != nullptr) {
    *interface = nullptr;
  }
  return status;
}

VOID EFIAPI CopyMemEntry(VOID *destination, VOID *source, UINTN length) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  firmware.Calls().Serve(
      "CopyMem", {Arg(destination), Arg(source), length}, nullptr, [&] {
        firmware.Memory().CopyMem(destination, source, length);
        return EFI_SUCCESS;
      });
}

VOID EFIAPI SetMemEntry(VOID *buffer, UINTN size, UINT8 value) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  firmware.Calls().Serve("SetMem", {Arg(buffer), size, value}, nullptr, [&] {
    firmware.Memory().SetMem(buffer, size, value);
    return EFI_SUCCESS;
  });
}

}  // namespace

void FillBootServicesTable(EFI_BOOT_SERVICES &table) {
  table = {};
  table.Hdr.Signature = EFI_BOOT_SERVICES_SIGNATURE;
  table.Hdr.Revision = (2U << 16) | 70U;
  table.Hdr.HeaderSize = sizeof table;
  table.RaiseTPL = RaiseTplEntry;
  table.RestoreTPL = RestoreTplEntry;
  table.AllocatePool = AllocatePoolEntry;
  table.FreePool = FreePoolEntry;
  table.CreateEvent = CreateEventEntry;
  table.SignalEvent = SignalEventEntry;
  table.CloseEvent = CloseEventEntry;
  table.CheckEvent = CheckEventEntry;
  table.InstallProtocolInterface = InstallProtocolInterfaceEntry;
  table.UninstallProtocolInterface = UninstallProtocolInterfaceEntry;
  table.HandleProtocol = HandleProtocolEntry;
  table.RegisterProtocolNotify = RegisterProtocolNotifyEntry;
  table.InstallConfigurationTable = InstallConfigurationTableEntry;
  table.LocateProtocol = LocateProtocolEntry;
  table.CopyMem = CopyMemEntry;
  table.SetMem = SetMemEntry;
  table.CreateEventEx = CreateEventExEntry;
}

}  // namespace sim
