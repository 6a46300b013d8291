// The board's Setup strings in the firmware's HII database: the package
// list that the board-Setup form registers, found again by the name the
// Setup string service is given, and the languages it holds.
#ifndef BOARDCFG_FIRMWARE_TESTS_SETUP_PACKAGE_LIST_H
#define BOARDCFG_FIRMWARE_TESTS_SETUP_PACKAGE_LIST_H

#include "firmware-tests/efi/hii_interfaces.h"

// The package list registered under the name "Setup".
inline constexpr EFI_GUID kSetupPackageListGuid = {
    0x4C1B7E20,
    0x9E0D,
    0x4E61,
    {0x8F, 0x52, 0x3A, 0xD7, 0x06, 0xB1, 0xC4, 0x95}};

struct HiiServices {
  EFI_HII_DATABASE_PROTOCOL *database;
  EFI_HII_STRING_PROTOCOL *strings;
};

EFI_STATUS LocateHii(EFI_BOOT_SERVICES *boot, HiiServices &hii);

// The package list registered under the name, or null when the name is not
// one the board knows or nothing is registered under it.
EFI_HII_HANDLE FindPackageListByName(EFI_BOOT_SERVICES *boot,
                                     const HiiServices &hii, const CHAR8 *name);

struct PackageLanguages {
  CHAR8 code[4][16];
  UINTN count;
};

// The languages the package list's strings are held in, as RFC 4646 codes.
EFI_STATUS LanguagesOf(const HiiServices &hii, EFI_HII_HANDLE list,
                       PackageLanguages &languages);

#endif
