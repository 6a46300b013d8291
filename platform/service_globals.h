// Firmware pointers stored once at entry and used for every later service call.
#ifndef BOARDCFG_PLATFORM_SERVICE_GLOBALS_H
#define BOARDCFG_PLATFORM_SERVICE_GLOBALS_H

#include "platform/uefi.h"

struct ServiceGlobalsRecord {
  EFI_HANDLE ImageHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_BOOT_SERVICES *BootServices;
  VOID *RuntimeServices;
};

extern ServiceGlobalsRecord ServiceGlobals;

#endif
