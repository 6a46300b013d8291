// BoardConfigDxe's loaded image, found by the way it was loaded: from the
// file BoardConfigDxe.efi by the boot manager (a Driver#### option), or
// from its firmware file by the DXE core (a firmware volume), whose loaded
// image names it only by the file GUID.
#ifndef BOARDCFG_FIRMWARE_TESTS_DRIVER_IMAGE_H
#define BOARDCFG_FIRMWARE_TESTS_DRIVER_IMAGE_H

#include "firmware-tests/efi/text_line.h"

struct DriverImage {
  EFI_LOADED_IMAGE_PROTOCOL *image;  // null when the driver is not loaded
  const CHAR16 *fileName;            // loaded from a file: its path
  const EFI_GUID *fileGuid;          // dispatched from a volume: its GUID
};

DriverImage FindDriverImage(EFI_BOOT_SERVICES *boot);

// The image's file path as UEFI writes it: \BoardConfigDxe.efi, or
// FvFile(EE004913-...) for a firmware file.
VOID LineDriverImagePath(TextLine &line, const DriverImage &driver);

// " from=file" or " from=fv-file guid=EE004913-..."; nothing when the
// driver was not found.
VOID LineDriverImageOrigin(TextLine &line, const DriverImage &driver);

#endif
