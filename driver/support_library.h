// Start-up of the firmware support library: service pointers, the HOB list
// and whether the driver runs in SMM.
#ifndef BOARDCFG_DRIVER_SUPPORT_LIBRARY_H
#define BOARDCFG_DRIVER_SUPPORT_LIBRARY_H

#include "platform/uefi.h"

extern VOID *HobList;
extern BOOLEAN InSmmFlag;
extern EFI_SMM_BASE2_PROTOCOL *SmmBaseCache;

VOID FindHobList();
VOID InitSupportLibrary(EFI_HANDLE image, EFI_SYSTEM_TABLE *system);

#endif
