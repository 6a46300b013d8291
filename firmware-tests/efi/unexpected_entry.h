// A service entry the driver is not expected to call: logs its number and
// answers EFI_UNSUPPORTED. Setup string entries are numbered from 100.
#ifndef BOARDCFG_FIRMWARE_TESTS_UNEXPECTED_ENTRY_H
#define BOARDCFG_FIRMWARE_TESTS_UNEXPECTED_ENTRY_H

#include "firmware-tests/efi/stage_log.h"

template <int Entry>
EFI_STATUS EFIAPI UnexpectedEntry() {
  TextLine line;
  LineStart(line, "unexpected-entry ");
  LineDecimal(line, Entry);
  Record(line);
  return EFI_UNSUPPORTED;
}

// For the untyped slots of an interface record.
template <int Entry>
VOID *UnexpectedEntrySlot() {
  return reinterpret_cast<VOID *>(UnexpectedEntry<Entry>);
}

#endif
