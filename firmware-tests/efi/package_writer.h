// Writes HII packages into a fixed buffer, little-endian: their headers,
// form opcodes with their lengths and scopes, and strings as the packages
// hold them. Writing past the end is dropped and remembered.
#ifndef BOARDCFG_FIRMWARE_TESTS_PACKAGE_WRITER_H
#define BOARDCFG_FIRMWARE_TESTS_PACKAGE_WRITER_H

#include "platform/uefi.h"

class PackageWriter {
 public:
  PackageWriter(UINT8 *buffer, UINTN capacity)
      : buffer_(buffer), capacity_(capacity) {}

  VOID Byte(UINT8 value);
  VOID Word(UINT16 value);
  VOID Dword(UINT32 value);
  VOID Guid(const EFI_GUID &guid);
  // NUL-terminated, as 8-bit text and as UCS-2.
  VOID Ascii(const CHAR8 *text);
  VOID Ucs2(const CHAR8 *text);

  UINTN Mark() const { return length_; }
  VOID PatchDword(UINTN at, UINT32 value);
  BOOLEAN Overflowed() const { return overflowed_; }

  // A package header whose 24-bit length and type ClosePackage fills in.
  UINTN OpenPackage();
  VOID ClosePackage(UINTN at, UINT8 type);
  // An opcode and its length byte, which CloseOp fills in, with the scope
  // bit when the opcode opens a scope that an END opcode closes.
  UINTN OpenOp(UINT8 opcode);
  VOID CloseOp(UINTN at, bool opensScope);

 private:
  UINT8 *buffer_;
  UINTN capacity_;
  UINTN length_ = 0;
  BOOLEAN overflowed_ = FALSE;
};

#endif
