// GUIDs of the standard services and of the outside protocols the driver uses.
#ifndef BOARDCFG_PLATFORM_GUIDS_H
#define BOARDCFG_PLATFORM_GUIDS_H

#include "platform/uefi.h"

inline constexpr EFI_GUID kSmmBase2ProtocolGuid = {
    0xF4CCBFB7,
    0xF6E0,
    0x47FD,
    {0x9D, 0xD4, 0x10, 0xA8, 0xF1, 0x50, 0xC1, 0x91}};
inline constexpr EFI_GUID kHobListGuid = {
    0x7739F24C,
    0x93D7,
    0x11D4,
    {0x9A, 0x3A, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};
inline constexpr EFI_GUID kReadyToBootEventGroupGuid = {
    0x7CE88FB3,
    0x4BD7,
    0x4679,
    {0x87, 0xA8, 0xA8, 0xD8, 0xDE, 0xE5, 0x0D, 0x2B}};
inline constexpr EFI_GUID kSetupStringServiceGuid = {
    0x41EADC00,
    0x8DB2,
    0x4BFE,
    {0xB0, 0xEA, 0xCB, 0xAA, 0xE7, 0xF4, 0xD3, 0x1B}};
inline constexpr EFI_GUID kSmbiosRecordServiceGuid = {
    0x5E90A50D,
    0x6955,
    0x4A49,
    {0x90, 0x32, 0xDA, 0x38, 0x12, 0xF8, 0xE8, 0xE5}};
inline constexpr EFI_GUID kPciLocationServiceGuid = {
    0x11B34006,
    0xD85B,
    0x4D0A,
    {0xA2, 0x90, 0xD5, 0xA5, 0x71, 0x31, 0x0E, 0xF7}};

// UEFI services take non-const GUID pointers but never write through them.
inline EFI_GUID *GuidArg(const EFI_GUID &guid) {
  return const_cast<EFI_GUID *>(&guid);
}

inline BOOLEAN GuidsEqual(const EFI_GUID &a, const EFI_GUID &b) {
  UINT64 left[2];
  UINT64 right[2];
  __builtin_memcpy(left, &a, sizeof left);
  __builtin_memcpy(right, &b, sizeof right);
  return left[0] == right[0] && left[1] == right[1];
}

#endif
