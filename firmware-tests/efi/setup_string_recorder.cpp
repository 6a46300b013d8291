#include "firmware-tests/efi/setup_string_recorder.h"

#include "firmware-tests/efi/stage_log.h"
#include "firmware-tests/efi/unexpected_entry.h"

namespace {

SetupStringService Interface;

// Entry 1.
EFI_STATUS EFIAPI ReplaceString(const CHAR8 *name, UINTN stringId,
                                const CHAR8 *text) {
  TextLine line;
  LineStart(line, "setup-string name=");
  LineText(line, name);
  LineText(line, " id=");
  LineHex(line, stringId);
  LineText(line, " text=");
  LineText(line, text);
  Record(line);
  return EFI_SUCCESS;
}

}  // namespace

SetupStringService *SetupStringRecorderInterface() {
  Interface.Entry0 = UnexpectedEntrySlot<100>();
  Interface.ReplaceString = ReplaceString;
  return &Interface;
}
