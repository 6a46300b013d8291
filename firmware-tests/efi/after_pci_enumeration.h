// When the companion lays out the board and installs its services. The PCI
// bus driver assigns every BAR when it enumerates (in BDS), so the windows
// hold only if moved after that; loaded by the boot manager the companion
// starts after it, dispatched from a firmware volume before it.
#ifndef BOARDCFG_FIRMWARE_TESTS_AFTER_PCI_ENUMERATION_H
#define BOARDCFG_FIRMWARE_TESTS_AFTER_PCI_ENUMERATION_H

#include "platform/uefi.h"

// One step of the companion's work; FALSE leaves out the steps after it.
typedef BOOLEAN (*CompanionStep)();

// Runs the steps in order, each in its own notification of an event at
// TPL_CALLBACK: the notifications that a step's protocol installation
// queues at that level (the driver's) run before the next step, on both
// load paths alike. They start at once when PCI enumeration is complete,
// otherwise when EFI_PCI_ENUMERATION_COMPLETE_PROTOCOL is installed; the
// log says which.
VOID RunAfterPciEnumeration(EFI_BOOT_SERVICES *boot, const CompanionStep *steps,
                            UINTN count);

#endif
