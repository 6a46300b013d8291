// Interface records of the three firmware services outside the driver.
// Their entries take no interface pointer; only the slots the driver calls
// are typed, the others keep their positions.
#ifndef BOARDCFG_PLATFORM_OUTSIDE_SERVICES_H
#define BOARDCFG_PLATFORM_OUTSIDE_SERVICES_H

#include "platform/uefi.h"

typedef EFI_STATUS(EFIAPI *SETUP_STRING_REPLACE)(const CHAR8 *Name,
                                                 UINTN StringId,
                                                 const CHAR8 *Text);

struct SetupStringService {
  VOID *Entry0;
  SETUP_STRING_REPLACE ReplaceString;
};

typedef EFI_STATUS(EFIAPI *SMBIOS_RECORD_DELETE)(UINT16 Handle);
typedef EFI_STATUS(EFIAPI *SMBIOS_RECORD_READ_BY_TYPE)(UINT8 Type,
                                                       UINT8 Instance,
                                                       VOID **Buffer,
                                                       UINT16 *Value);

struct SmbiosRecordService {
  VOID *Entry0;
  VOID *Entry1;
  VOID *Entry2;
  VOID *Entry3;
  VOID *Entry4;
  VOID *Entry5;
  SMBIOS_RECORD_DELETE DeleteRecord;
  VOID *Entry7;
  SMBIOS_RECORD_READ_BY_TYPE ReadRecordByType;
};

// Returns the PciAddress16 of a board bridge in the low 16 bits.
typedef UINT32(EFIAPI *PCI_LOCATION_LOOKUP)(UINTN Key);

struct PciLocationService {
  VOID *Entry0;
  VOID *Entry1;
  VOID *Entry2;
  PCI_LOCATION_LOOKUP LookupBridge;
};

#endif
