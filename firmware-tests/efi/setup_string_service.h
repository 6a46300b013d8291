// The board's SetupStringService on the firmware's HII database: entry 1
// replaces a string of the package list registered under the given name, in
// every language the list holds, through EFI_HII_STRING_PROTOCOL.SetString.
// An unknown name or identifier gets EFI_NOT_FOUND and changes nothing.
// Every call is logged with its status. Entry 0 is not expected.
#ifndef BOARDCFG_FIRMWARE_TESTS_SETUP_STRING_SERVICE_H
#define BOARDCFG_FIRMWARE_TESTS_SETUP_STRING_SERVICE_H

#include "platform/outside_services.h"

// Fills the interface record, which the image cannot do statically, and
// returns it.
SetupStringService *SetupStringServiceInterface(EFI_BOOT_SERVICES *boot);

#endif
