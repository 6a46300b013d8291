#include "firmware-tests/efi/text_line.h"

namespace {

constexpr UINTN kLineCapacity = sizeof(TextLine::text) - 1;

VOID Put(TextLine &line, CHAR8 c) {
  if (line.length < kLineCapacity) {
    line.text[line.length++] = c;
  }
  line.text[line.length] = 0;
}

CHAR16 Lower(CHAR16 c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<CHAR16>(c - 'A' + 'a') : c;
}

UINTN NodeLength(const EFI_DEVICE_PATH_PROTOCOL *node) {
  return static_cast<UINTN>(node->Length[0]) |
         (static_cast<UINTN>(node->Length[1]) << 8);
}

// Last file-path node of a device path, or null.
const CHAR16 *LastFilePathText(const EFI_DEVICE_PATH_PROTOCOL *node) {
  const CHAR16 *found = nullptr;
  while (node != nullptr && node->Type != kEndDevicePath) {
    const UINTN length = NodeLength(node);
    if (length < sizeof(EFI_DEVICE_PATH_PROTOCOL)) {
      break;
    }
    if (node->Type == kMediaDevicePath &&
        node->SubType == kMediaFilePathSubType) {
      found = reinterpret_cast<const CHAR16 *>(node + 1);
    }
    node = reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(
        reinterpret_cast<const UINT8 *>(node) + length);
  }
  return found;
}

BOOLEAN EndsWith(const CHAR16 *path, const CHAR8 *name) {
  UINTN pathLength = 0;
  while (path[pathLength] != 0) {
    ++pathLength;
  }
  UINTN nameLength = 0;
  while (name[nameLength] != 0) {
    ++nameLength;
  }
  if (nameLength > pathLength) {
    return FALSE;
  }
  const CHAR16 *tail = path + pathLength - nameLength;
  for (UINTN i = 0; i < nameLength; ++i) {
    if (Lower(tail[i]) != Lower(static_cast<CHAR16>(name[i]))) {
      return FALSE;
    }
  }
  return TRUE;
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

EFI_LOADED_IMAGE_PROTOCOL *FindLoadedImage(EFI_BOOT_SERVICES *boot,
                                           const CHAR8 *name,
                                           EFI_HANDLE *handle) {
  UINTN count = 0;
  EFI_HANDLE *handles = nullptr;
  if (EFI_ERROR(LocateHandleBufferOf(boot)(ByProtocol,
                                           GuidArg(kLoadedImageProtocolGuid),
                                           nullptr, &count, &handles))) {
    return nullptr;
  }
  EFI_LOADED_IMAGE_PROTOCOL *found = nullptr;
  for (UINTN i = 0; i < count && found == nullptr; ++i) {
    EFI_LOADED_IMAGE_PROTOCOL *image = nullptr;
    if (EFI_ERROR(boot->HandleProtocol(handles[i],
                                       GuidArg(kLoadedImageProtocolGuid),
                                       reinterpret_cast<VOID **>(&image))) ||
        image == nullptr) {
      continue;
    }
    const CHAR16 *path = LastFilePathText(image->FilePath);
    if (path != nullptr && EndsWith(path, name)) {
      found = image;
      if (handle != nullptr) {
        *handle = handles[i];
      }
    }
  }
  boot->FreePool(handles);
  return found;
}

const CHAR16 *ImageFileName(const EFI_LOADED_IMAGE_PROTOCOL *image) {
  return image == nullptr ? nullptr : LastFilePathText(image->FilePath);
}
