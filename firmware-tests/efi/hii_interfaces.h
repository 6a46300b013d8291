// The firmware's HII database and string services, and the package and
// form-opcode encodings the board's Setup form is written in, as UEFI
// defines them (only what the test programs use).
#ifndef BOARDCFG_FIRMWARE_TESTS_HII_INTERFACES_H
#define BOARDCFG_FIRMWARE_TESTS_HII_INTERFACES_H

#include "platform/uefi.h"

typedef VOID *EFI_HII_HANDLE;
typedef UINT16 EFI_STRING_ID;

inline constexpr EFI_GUID kHiiDatabaseProtocolGuid = {
    0xEF9FC172,
    0xA1B2,
    0x4693,
    {0xB3, 0x27, 0x6D, 0x32, 0xFC, 0x41, 0x60, 0x42}};
inline constexpr EFI_GUID kHiiStringProtocolGuid = {
    0x0FD96974,
    0x23AA,
    0x4CDC,
    {0xB9, 0xCB, 0x98, 0xD1, 0x77, 0x50, 0x32, 0x2A}};
// Formsets of this class are listed by the firmware's Device Manager.
inline constexpr EFI_GUID kHiiPlatformSetupFormsetGuid = {
    0x93039971,
    0x8545,
    0x4B04,
    {0xB4, 0x5E, 0x32, 0xEB, 0x83, 0x26, 0x04, 0x0E}};
inline constexpr EFI_GUID kDevicePathProtocolGuid = {
    0x09576E91,
    0x6D3F,
    0x11D2,
    {0x8E, 0x39, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};

struct EFI_HII_PACKAGE_LIST_HEADER {
  EFI_GUID PackageListGuid;
  UINT32 PackageLength;
};

typedef struct _EFI_HII_DATABASE_PROTOCOL EFI_HII_DATABASE_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_HII_DATABASE_NEW_PACK)(
    const EFI_HII_DATABASE_PROTOCOL *This,
    const EFI_HII_PACKAGE_LIST_HEADER *PackageList, EFI_HANDLE DriverHandle,
    EFI_HII_HANDLE *Handle);
typedef EFI_STATUS(EFIAPI *EFI_HII_DATABASE_LIST_PACKS)(
    const EFI_HII_DATABASE_PROTOCOL *This, UINT8 PackageType,
    const EFI_GUID *PackageGuid, UINTN *HandleBufferLength,
    EFI_HII_HANDLE *Handle);
typedef EFI_STATUS(EFIAPI *EFI_HII_DATABASE_EXPORT_PACKS)(
    const EFI_HII_DATABASE_PROTOCOL *This, EFI_HII_HANDLE Handle,
    UINTN *BufferSize, EFI_HII_PACKAGE_LIST_HEADER *Buffer);
struct _EFI_HII_DATABASE_PROTOCOL {
  EFI_HII_DATABASE_NEW_PACK NewPackageList;
  VOID *RemovePackageList;
  VOID *UpdatePackageList;
  EFI_HII_DATABASE_LIST_PACKS ListPackageLists;
  EFI_HII_DATABASE_EXPORT_PACKS ExportPackageLists;
};

typedef struct _EFI_HII_STRING_PROTOCOL EFI_HII_STRING_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_HII_GET_STRING)(
    const EFI_HII_STRING_PROTOCOL *This, const CHAR8 *Language,
    EFI_HII_HANDLE PackageList, EFI_STRING_ID StringId, CHAR16 *String,
    UINTN *StringSize, VOID **StringFontInfo);
typedef EFI_STATUS(EFIAPI *EFI_HII_SET_STRING)(
    const EFI_HII_STRING_PROTOCOL *This, EFI_HII_HANDLE PackageList,
    EFI_STRING_ID StringId, const CHAR8 *Language, const CHAR16 *String,
    const VOID *StringFontInfo);
typedef EFI_STATUS(EFIAPI *EFI_HII_GET_LANGUAGES)(
    const EFI_HII_STRING_PROTOCOL *This, EFI_HII_HANDLE PackageList,
    CHAR8 *Languages, UINTN *LanguagesSize);
struct _EFI_HII_STRING_PROTOCOL {
  VOID *NewString;
  EFI_HII_GET_STRING GetString;
  EFI_HII_SET_STRING SetString;
  EFI_HII_GET_LANGUAGES GetLanguages;
  VOID *GetSecondaryLanguages;
};

// Package types (the top byte of a package header's length-and-type word).
inline constexpr UINT8 kHiiPackageTypeAll = 0x00;
inline constexpr UINT8 kHiiPackageForms = 0x02;
inline constexpr UINT8 kHiiPackageStrings = 0x04;
inline constexpr UINT8 kHiiPackageEnd = 0xDF;

// String blocks of a string package.
inline constexpr UINT8 kStringBlockEnd = 0x00;
inline constexpr UINT8 kStringBlockUcs2 = 0x14;
inline constexpr UINT8 kStringBlockSkip2 = 0x21;

// Form opcodes; the length byte's top bit opens a scope that END closes.
inline constexpr UINT8 kIfrFormOp = 0x01;
inline constexpr UINT8 kIfrCheckBoxOp = 0x06;
inline constexpr UINT8 kIfrFormSetOp = 0x0E;
inline constexpr UINT8 kIfrVarStoreEfiOp = 0x26;
inline constexpr UINT8 kIfrEndOp = 0x29;
inline constexpr UINT8 kIfrScope = 0x80;
inline constexpr UINT8 kCheckBoxDefault = 0x01;

inline constexpr UINT8 kHardwareDevicePath = 0x01;
inline constexpr UINT8 kHardwareVendorSubType = 0x04;
inline constexpr UINT8 kEndEntireDevicePathSubType = 0xFF;

inline constexpr UINT32 kVariableNonVolatile = 0x1;
inline constexpr UINT32 kVariableBootServiceAccess = 0x2;

// The runtime services up to SetVariable, the one the Setup form's variable
// store needs.
typedef EFI_STATUS(EFIAPI *EFI_SET_VARIABLE)(CHAR16 *VariableName,
                                             EFI_GUID *VendorGuid,
                                             UINT32 Attributes, UINTN DataSize,
                                             VOID *Data);
struct EFI_RUNTIME_SERVICES_UP_TO_SET_VARIABLE {
  EFI_TABLE_HEADER Hdr;
  VOID *GetTime;
  VOID *SetTime;
  VOID *GetWakeupTime;
  VOID *SetWakeupTime;
  VOID *SetVirtualAddressMap;
  VOID *ConvertPointer;
  VOID *GetVariable;
  VOID *GetNextVariableName;
  EFI_SET_VARIABLE SetVariable;
};

#endif
