// The board's Setup form as the test firmware holds it: a package list in the
// firmware's HII database, registered under kSetupPackageListGuid, with a
// formset of the platform-setup class (listed by the Device Manager) whose
// one checkbox, backed by the EFI variable BoardSetup, has the riser option's
// prompt and help strings; those strings are held in every language of
// facts::kSetupLanguages, with the defaults the driver replaces.
#ifndef BOARDCFG_FIRMWARE_TESTS_BOARD_SETUP_FORM_H
#define BOARDCFG_FIRMWARE_TESTS_BOARD_SETUP_FORM_H

#include "platform/uefi.h"

// Registers the form; the log says how it went.
VOID RegisterBoardSetupForm(EFI_SYSTEM_TABLE *system);

#endif
