#include "firmware-tests/efi/package_writer.h"

#include "firmware-tests/efi/hii_interfaces.h"

VOID PackageWriter::Byte(UINT8 value) {
  if (length_ < capacity_) {
    buffer_[length_++] = value;
  } else {
    overflowed_ = TRUE;
  }
}

VOID PackageWriter::Word(UINT16 value) {
  Byte(static_cast<UINT8>(value));
  Byte(static_cast<UINT8>(value >> 8));
}

VOID PackageWriter::Dword(UINT32 value) {
  Word(static_cast<UINT16>(value));
  Word(static_cast<UINT16>(value >> 16));
}

VOID PackageWriter::Guid(const EFI_GUID &guid) {
  const UINT8 *bytes = reinterpret_cast<const UINT8 *>(&guid);
  for (UINTN i = 0; i < sizeof(EFI_GUID); ++i) {
    Byte(bytes[i]);
  }
}

VOID PackageWriter::Ascii(const CHAR8 *text) {
  do {
    Byte(static_cast<UINT8>(*text));
  } while (*text++ != 0);
}

VOID PackageWriter::Ucs2(const CHAR8 *text) {
  do {
    Word(static_cast<UINT8>(*text));
  } while (*text++ != 0);
}

VOID PackageWriter::PatchDword(UINTN at, UINT32 value) {
  for (UINTN i = 0; i < 4; ++i) {
    if (at + i < length_) {
      buffer_[at + i] = static_cast<UINT8>(value >> (8 * i));
    }
  }
}

UINTN PackageWriter::OpenPackage() {
  const UINTN at = length_;
  Dword(0);
  return at;
}

VOID PackageWriter::ClosePackage(UINTN at, UINT8 type) {
  const UINT32 size = static_cast<UINT32>(length_ - at);
  PatchDword(at, (size & 0xFFFFFF) | (static_cast<UINT32>(type) << 24));
}

UINTN PackageWriter::OpenOp(UINT8 opcode) {
  const UINTN at = length_;
  Byte(opcode);
  Byte(0);
  return at;
}

VOID PackageWriter::CloseOp(UINTN at, bool opensScope) {
  const UINTN size = length_ - at;
  if (at + 1 < length_) {
    buffer_[at + 1] = static_cast<UINT8>(size | (opensScope ? kIfrScope : 0));
  }
}
