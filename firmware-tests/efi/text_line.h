// One console line built from 8-bit text and numbers, written to ConOut with
// a CR LF.
#ifndef BOARDCFG_FIRMWARE_TESTS_TEXT_LINE_H
#define BOARDCFG_FIRMWARE_TESTS_TEXT_LINE_H

#include "firmware-tests/efi/firmware_interfaces.h"

struct TextLine {
  CHAR8 text[192];
  UINTN length;
};

VOID LineStart(TextLine &line, const CHAR8 *prefix);
VOID LineText(TextLine &line, const CHAR8 *text);
VOID LineHex(TextLine &line, UINT64 value);
VOID LineDecimal(TextLine &line, UINT64 value);
// Bytes as two lowercase hex digits each, no separators.
VOID LineBytes(TextLine &line, const UINT8 *bytes, UINTN count);
VOID LineWide(TextLine &line, const CHAR16 *text);
// As EE004913-32A0-49F1-BAB8-D6B172F11AC6.
VOID LineGuid(TextLine &line, const EFI_GUID &guid);
// Writes the line to the console; a null console is skipped.
VOID LineEmit(const TextLine &line, EFI_SYSTEM_TABLE *system);

BOOLEAN TextEqual(const CHAR8 *a, const CHAR8 *b);

#endif
