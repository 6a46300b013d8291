// Standard UEFI and PI interfaces that the test programs use beyond what the
// driver itself declares: console output, loaded images, device paths, the
// end of PCI enumeration, the firmware's SMBIOS protocol and the PCD
// database's Get32 slot.
#ifndef BOARDCFG_FIRMWARE_TESTS_FIRMWARE_INTERFACES_H
#define BOARDCFG_FIRMWARE_TESTS_FIRMWARE_INTERFACES_H

#include "platform/uefi.h"

// UEFI services take non-const GUID pointers but never write through them.
inline EFI_GUID *GuidArg(const EFI_GUID &guid) {
  return const_cast<EFI_GUID *>(&guid);
}

inline BOOLEAN SameGuid(const EFI_GUID &a, const EFI_GUID &b) {
  const auto *left = reinterpret_cast<const UINT8 *>(&a);
  const auto *right = reinterpret_cast<const UINT8 *>(&b);
  for (UINTN i = 0; i < sizeof(EFI_GUID); ++i) {
    if (left[i] != right[i]) {
      return FALSE;
    }
  }
  return TRUE;
}

inline constexpr EFI_GUID kLoadedImageProtocolGuid = {
    0x5B1B31A1,
    0x9562,
    0x11D2,
    {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
inline constexpr EFI_GUID kSmbiosProtocolGuid = {
    0x03583FF6,
    0xCB36,
    0x4940,
    {0x94, 0x7E, 0xB9, 0xB3, 0x9F, 0x4A, 0xFA, 0xF7}};
// Installed (with no interface) once the PCI bus driver has assigned the
// resources of every device under a host bridge.
inline constexpr EFI_GUID kPciEnumerationCompleteProtocolGuid = {
    0x30CFE3E7,
    0x3DE1,
    0x4586,
    {0xBE, 0x20, 0xDE, 0xAB, 0xA1, 0xB3, 0xB7, 0x93}};

// Record of what the companion did, published so that the checker can print
// it once the console is connected (the companion runs before that).
inline constexpr EFI_GUID kStageLogProtocolGuid = {
    0xB0A7D3E2,
    0x5C41,
    0x4F7A,
    {0x9E, 0x2B, 0x6D, 0x1C, 0x8F, 0x3A, 0x4E, 0x57}};

struct StageLogProtocol {
  UINT64 Signature;  // kStageLogSignature
  UINTN Length;      // bytes of Text in use, lines separated by '\n'
  CHAR8 Text[16384];
};
inline constexpr UINT64 kStageLogSignature =
    0x474F4C4547415453ULL;  // "STAGELOG"

typedef struct _EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_TEXT_STRING)(
    EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, CHAR16 *String);
struct _EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL {
  VOID *Reset;
  EFI_TEXT_STRING OutputString;
};

typedef struct {
  UINT8 Type;
  UINT8 SubType;
  UINT8 Length[2];
} EFI_DEVICE_PATH_PROTOCOL;

inline constexpr UINT8 kMediaDevicePath = 0x04;
inline constexpr UINT8 kMediaFilePathSubType = 0x04;
// A file in a firmware volume, named by its GUID (MEDIA_FW_VOL_FILEPATH).
inline constexpr UINT8 kMediaFvFileSubType = 0x06;
inline constexpr UINT8 kEndDevicePath = 0x7F;

typedef struct {
  UINT32 Revision;
  EFI_HANDLE ParentHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_HANDLE DeviceHandle;
  EFI_DEVICE_PATH_PROTOCOL *FilePath;
  VOID *Reserved;
  UINT32 LoadOptionsSize;
  VOID *LoadOptions;
  VOID *ImageBase;
  UINT64 ImageSize;
  EFI_MEMORY_TYPE ImageCodeType;
  EFI_MEMORY_TYPE ImageDataType;
  VOID *Unload;
} EFI_LOADED_IMAGE_PROTOCOL;

typedef enum {
  AllHandles,
  ByRegisterNotify,
  ByProtocol
} EFI_LOCATE_SEARCH_TYPE;
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_HANDLE_BUFFER)(
    EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol, VOID *SearchKey,
    UINTN *NoHandles, EFI_HANDLE **Buffer);

typedef UINT16 EFI_SMBIOS_HANDLE;
typedef UINT8 EFI_SMBIOS_TYPE;
inline constexpr EFI_SMBIOS_HANDLE kSmbiosHandlePiReserved = 0xFFFE;
inline constexpr EFI_SMBIOS_TYPE kSmbiosSystemSlotsType = 9;
inline constexpr EFI_SMBIOS_TYPE kSmbiosOemStringsType = 11;

typedef struct {
  UINT8 Type;
  UINT8 Length;
  UINT16 Handle;
} EFI_SMBIOS_TABLE_HEADER;

typedef struct _EFI_SMBIOS_PROTOCOL EFI_SMBIOS_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_SMBIOS_ADD)(EFI_SMBIOS_PROTOCOL *This,
                                           EFI_HANDLE ProducerHandle,
                                           EFI_SMBIOS_HANDLE *SmbiosHandle,
                                           EFI_SMBIOS_TABLE_HEADER *Record);
typedef EFI_STATUS(EFIAPI *EFI_SMBIOS_UPDATE_STRING)(
    EFI_SMBIOS_PROTOCOL *This, EFI_SMBIOS_HANDLE *SmbiosHandle,
    UINTN *StringNumber, CHAR8 *String);
typedef EFI_STATUS(EFIAPI *EFI_SMBIOS_REMOVE)(EFI_SMBIOS_PROTOCOL *This,
                                              EFI_SMBIOS_HANDLE SmbiosHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMBIOS_GET_NEXT)(
    EFI_SMBIOS_PROTOCOL *This, EFI_SMBIOS_HANDLE *SmbiosHandle,
    EFI_SMBIOS_TYPE *Type, EFI_SMBIOS_TABLE_HEADER **Record,
    EFI_HANDLE *ProducerHandle);
struct _EFI_SMBIOS_PROTOCOL {
  EFI_SMBIOS_ADD Add;
  EFI_SMBIOS_UPDATE_STRING UpdateString;
  EFI_SMBIOS_REMOVE Remove;
  EFI_SMBIOS_GET_NEXT GetNext;
  UINT8 MajorVersion;
  UINT8 MinorVersion;
};

// The firmware's PCD database is installed under the same GUID as the board's
// bridge-location service; its fourth slot is Get32(TokenNumber).
typedef UINT32(EFIAPI *PCD_GET32)(UINTN TokenNumber);
struct PcdDatabaseProtocol {
  VOID *SetSku;
  VOID *Get8;
  VOID *Get16;
  PCD_GET32 Get32;
};

inline EFI_LOCATE_HANDLE_BUFFER LocateHandleBufferOf(EFI_BOOT_SERVICES *boot) {
  return reinterpret_cast<EFI_LOCATE_HANDLE_BUFFER>(boot->LocateHandleBuffer);
}

#endif
