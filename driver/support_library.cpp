#include "driver/support_library.h"

#include "platform/guids.h"
#include "platform/service_globals.h"

VOID *HobList;
BOOLEAN InSmmFlag;
EFI_SMM_BASE2_PROTOCOL *SmmBaseCache;

VOID FindHobList() {
  if (HobList != nullptr) {
    return;
  }
  const EFI_SYSTEM_TABLE *system = ServiceGlobals.SystemTable;
  for (UINTN i = 0; i < system->NumberOfTableEntries; ++i) {
    const EFI_CONFIGURATION_TABLE &entry = system->ConfigurationTable[i];
    if (GuidsEqual(entry.VendorGuid, kHobListGuid)) {
      HobList = entry.VendorTable;
      return;
    }
  }
}

VOID InitSupportLibrary(EFI_HANDLE image, EFI_SYSTEM_TABLE *system) {
  ServiceGlobals.ImageHandle = image;
  ServiceGlobals.SystemTable = system;
  ServiceGlobals.BootServices = system->BootServices;
  ServiceGlobals.RuntimeServices = system->RuntimeServices;

  FindHobList();

  if (SmmBaseCache == nullptr) {
    EFI_STATUS status = ServiceGlobals.BootServices->LocateProtocol(
        GuidArg(kSmmBase2ProtocolGuid), nullptr,
        reinterpret_cast<VOID **>(&SmmBaseCache));
    if (EFI_ERROR(status) || SmmBaseCache == nullptr) {
      SmmBaseCache = nullptr;
      return;
    }
  }
  SmmBaseCache->InSmm(SmmBaseCache, &InSmmFlag);
}
