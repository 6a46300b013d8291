// One console line built from 8-bit text and numbers, written to ConOut with
// a CR LF; lines stay below 80 columns so the serial terminal never wraps.
#ifndef BOARDCFG_FIRMWARE_TESTS_TEXT_LINE_H
#define BOARDCFG_FIRMWARE_TESTS_TEXT_LINE_H

#include "firmware-tests/efi/firmware_interfaces.h"

struct TextLine {
  CHAR8 text[160];
  UINTN length;
};

VOID LineStart(TextLine &line, const CHAR8 *prefix);
VOID LineText(TextLine &line, const CHAR8 *text);
VOID LineHex(TextLine &line, UINT64 value);
VOID LineDecimal(TextLine &line, UINT64 value);
// Bytes as two lowercase hex digits each, no separators.
VOID LineBytes(TextLine &line, const UINT8 *bytes, UINTN count);
VOID LineWide(TextLine &line, const CHAR16 *text);
// Writes the line to the console; a null console is skipped.
VOID LineEmit(const TextLine &line, EFI_SYSTEM_TABLE *system);

BOOLEAN TextEqual(const CHAR8 *a, const CHAR8 *b);

// The loaded image whose file path ends in name (compared without case), or
// null; its handle is stored through handle when one is given.
EFI_LOADED_IMAGE_PROTOCOL *FindLoadedImage(EFI_BOOT_SERVICES *boot,
                                           const CHAR8 *name,
                                           EFI_HANDLE *handle);

// File name of a loaded image's path, for printing.
const CHAR16 *ImageFileName(const EFI_LOADED_IMAGE_PROTOCOL *image);

#endif
