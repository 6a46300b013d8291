// The board's SmbiosRecordService, served from the firmware's SMBIOS table:
// entry 8 hands out a pool copy of a record, entry 6 removes one. Every
// call is logged; the other entries are not expected.
#ifndef BOARDCFG_FIRMWARE_TESTS_SMBIOS_RECORD_SERVICE_H
#define BOARDCFG_FIRMWARE_TESTS_SMBIOS_RECORD_SERVICE_H

#include "platform/outside_services.h"

// Fills the interface record, which the image cannot do statically, and
// returns it; needs the firmware's SMBIOS protocol located.
SmbiosRecordService *SmbiosRecordServiceInterface(EFI_BOOT_SERVICES *boot);

#endif
