// The board's bridge-location service. In OVMF the firmware's PCD database
// already stands under its GUID, so the companion takes over that
// instance's Get32: keys asked from the driver's image name the LAN
// bridges, every other call passes through so the rest of the firmware
// keeps its configuration values.
#ifndef BOARDCFG_FIRMWARE_TESTS_BRIDGE_LOCATION_H
#define BOARDCFG_FIRMWARE_TESTS_BRIDGE_LOCATION_H

#include "platform/uefi.h"

// Where BoardConfigDxe.efi lies; end 0 when it was not found, and then
// every caller gets the bridges.
struct DriverImageSpan {
  UINTN start;
  UINTN end;
};

// Takes over the firmware instance's Get32 unless the SMBIOS OEM string
// "boardstage:pci-location=firmware" asks to keep it; a kept instance's own
// answers for the bridge keys are logged. Needs the firmware's SMBIOS
// protocol located.
VOID TakeOverBridgeLocation(EFI_BOOT_SERVICES *boot, DriverImageSpan driver);

#endif
