#include "driver/board_hooks.h"

#include "driver/board_actions.h"
#include "driver/board_service_protocol.h"
#include "platform/guids.h"
#include "platform/service_globals.h"

namespace {

// The firmware unloads an image whose entry fails; nothing may keep
// pointing into it afterwards.
VOID WithdrawHooks(EFI_BOOT_SERVICES *boot, EFI_HANDLE handle,
                   BOOLEAN installed, const EFI_EVENT (&events)[3]) {
  if (installed) {
    boot->UninstallProtocolInterface(handle, GuidArg(kBoardServiceProtocolGuid),
                                     &BoardServiceProtocol);
  }
  for (EFI_EVENT event : events) {
    if (event != nullptr) {
      boot->CloseEvent(event);
    }
  }
}

}  // namespace

EFI_STATUS RegisterBoardHooks(EFI_HANDLE, EFI_SYSTEM_TABLE *) {
  EFI_BOOT_SERVICES *boot = ServiceGlobals.BootServices;
  EFI_HANDLE handle = nullptr;
  EFI_EVENT events[3] = {nullptr, nullptr, nullptr};
  EFI_EVENT &readyEvent = events[0];
  EFI_EVENT &stringEvent = events[1];
  EFI_EVENT &smbiosEvent = events[2];
  VOID *stringKey = nullptr;
  VOID *smbiosKey = nullptr;

  const BOOLEAN installed = !EFI_ERROR(boot->InstallProtocolInterface(
      &handle, GuidArg(kBoardServiceProtocolGuid), EFI_NATIVE_INTERFACE,
      &BoardServiceProtocol));

  if (EFI_ERROR(boot->CreateEventEx(
          EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnReadyToBoot, nullptr,
          &kReadyToBootEventGroupGuid, &readyEvent))) {
    readyEvent = nullptr;
  }

  if (EFI_ERROR(boot->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK,
                                  OnStringServiceInstalled, nullptr,
                                  &stringEvent))) {
    stringEvent = nullptr;
  } else {
    boot->RegisterProtocolNotify(GuidArg(kSetupStringServiceGuid), stringEvent,
                                 &stringKey);
  }

  EFI_STATUS status =
      boot->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK,
                        OnSmbiosServiceInstalled, nullptr, &smbiosEvent);
  if (EFI_ERROR(status)) {
    smbiosEvent = nullptr;
  }
  if (status == EFI_SUCCESS) {
    status = boot->RegisterProtocolNotify(GuidArg(kSmbiosRecordServiceGuid),
                                          smbiosEvent, &smbiosKey);
  }

  if (EFI_ERROR(status)) {
    WithdrawHooks(boot, handle, installed, events);
  }
  return status;
}
