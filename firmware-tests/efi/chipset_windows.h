// Under the scenario stage QEMU has two shared-memory devices holding a
// laid-out board; moving their memory to the chipset's fixed windows lets
// the driver find that board there.
#ifndef BOARDCFG_FIRMWARE_TESTS_CHIPSET_WINDOWS_H
#define BOARDCFG_FIRMWARE_TESTS_CHIPSET_WINDOWS_H

#include "platform/uefi.h"

// Moves BAR2 of the first two shared-memory devices on bus 0 to the PCI
// configuration window and the private-register window, with memory
// decoding off while the BAR changes. Without such devices (the reads-zero
// stage) nothing is moved.
VOID MoveChipsetWindows();

// Logs how many of the moved BARs still point at their windows.
VOID ReportWindowsHeld(const CHAR8 *when);

#endif
