#include "driver/driver_entry.h"

#include "driver/board_hooks.h"
#include "driver/support_library.h"

extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE image,
                                         EFI_SYSTEM_TABLE *system) {
  InitSupportLibrary(image, system);
  return RegisterBoardHooks(image, system);
}
