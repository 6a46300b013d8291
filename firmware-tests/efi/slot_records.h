// The System Slots records the board firmware would hold for the riser
// position: one per designation the driver tells apart, added to the
// firmware's SMBIOS table for the driver to read and delete.
#ifndef BOARDCFG_FIRMWARE_TESTS_SLOT_RECORDS_H
#define BOARDCFG_FIRMWARE_TESTS_SLOT_RECORDS_H

#include "platform/uefi.h"

// Logs how many type-9 records the firmware had, then each record added.
VOID AddSlotRecords(EFI_HANDLE producer);

#endif
