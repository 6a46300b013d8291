// The firmware's own SMBIOS table, reached through its EFI_SMBIOS_PROTOCOL:
// found once at entry, then walked record by record of one type.
#ifndef BOARDCFG_FIRMWARE_TESTS_FIRMWARE_SMBIOS_H
#define BOARDCFG_FIRMWARE_TESTS_FIRMWARE_SMBIOS_H

#include "firmware-tests/efi/firmware_interfaces.h"

// Finds the protocol and logs its version; the rest needs it found.
EFI_STATUS LocateFirmwareSmbios(EFI_BOOT_SERVICES *boot);
EFI_SMBIOS_PROTOCOL *FirmwareSmbios();

// The record of the type after handle (kSmbiosHandlePiReserved for the
// first), or null at the end; handle moves to the record returned.
EFI_SMBIOS_TABLE_HEADER *NextRecordOfType(EFI_SMBIOS_HANDLE &handle,
                                          EFI_SMBIOS_TYPE type);

// Formatted area and string set of a record, in bytes.
UINTN RecordSize(const EFI_SMBIOS_TABLE_HEADER *record);

// True when an OEM strings record carries the text.
BOOLEAN HasOemString(const CHAR8 *wanted);

#endif
