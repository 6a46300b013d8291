#include "firmware-tests/efi/text_line.h"

namespace {

constexpr UINTN kLineCapacity = sizeof(TextLine::text) - 1;

VOID Put(TextLine &line, CHAR8 c) {
  if (line.length < kLineCapacity) {
    line.text[line.length++] = c;
  }
  line.text[line.length] = 0;
}

// Uppercase, zero-padded to digits, as GUIDs are written.
VOID PutHexDigits(TextLine &line, UINT64 value, int digits) {
  static const CHAR8 kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    Put(line, kDigits[(value >> shift) & 0xF]);
  }
}

}  // namespace

VOID LineStart(TextLine &line, const CHAR8 *prefix) {
  line.length = 0;
  line.text[0] = 0;
  LineText(line, prefix);
}

VOID LineText(TextLine &line, const CHAR8 *text) {
  for (; text != nullptr && *text != 0; ++text) {
    Put(line, *text);
  }
}

VOID LineHex(TextLine &line, UINT64 value) {
  static const CHAR8 kDigits[] = "0123456789abcdef";
  LineText(line, "0x");
  int shift = 60;
  while (shift > 0 && ((value >> shift) & 0xF) == 0) {
    shift -= 4;
  }
  for (; shift >= 0; shift -= 4) {
    Put(line, kDigits[(value >> shift) & 0xF]);
  }
}

VOID LineDecimal(TextLine &line, UINT64 value) {
  CHAR8 digits[24];
  UINTN count = 0;
  do {
    digits[count++] = static_cast<CHAR8>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) {
    Put(line, digits[--count]);
  }
}

VOID LineBytes(TextLine &line, const UINT8 *bytes, UINTN count) {
  static const CHAR8 kDigits[] = "0123456789abcdef";
  for (UINTN i = 0; i < count; ++i) {
    Put(line, kDigits[bytes[i] >> 4]);
    Put(line, kDigits[bytes[i] & 0xF]);
  }
}

VOID LineGuid(TextLine &line, const EFI_GUID &guid) {
  PutHexDigits(line, guid.Data1, 8);
  Put(line, '-');
  PutHexDigits(line, guid.Data2, 4);
  Put(line, '-');
  PutHexDigits(line, guid.Data3, 4);
  Put(line, '-');
  for (UINTN i = 0; i < 8; ++i) {
    if (i == 2) {
      Put(line, '-');
    }
    PutHexDigits(line, guid.Data4[i], 2);
  }
}

VOID LineWide(TextLine &line, const CHAR16 *text) {
  for (; text != nullptr && *text != 0; ++text) {
    Put(line, *text < 0x80 ? static_cast<CHAR8>(*text) : '?');
  }
}

VOID LineEmit(const TextLine &line, EFI_SYSTEM_TABLE *system) {
  auto *console = static_cast<EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *>(
      system == nullptr ? nullptr : system->ConOut);
  if (console == nullptr) {
    return;
  }
  CHAR16 wide[sizeof(TextLine::text) + 3];
  UINTN i = 0;
  for (; i < line.length; ++i) {
    wide[i] = static_cast<UINT8>(line.text[i]);
  }
  wide[i++] = '\r';
  wide[i++] = '\n';
  wide[i] = 0;
  console->OutputString(console, wide);
}

BOOLEAN TextEqual(const CHAR8 *a, const CHAR8 *b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}
