#include "firmware-tests/efi/driver_image.h"

#include "driver_file.h"

namespace {

constexpr CHAR8 kDriverFileName[] = "BoardConfigDxe.efi";
constexpr EFI_GUID kDriverFileGuid = BOARDCFG_DRIVER_FILE_GUID_INIT;

// A firmware file's node: its GUID follows the header.
struct FvFileNode {
  EFI_DEVICE_PATH_PROTOCOL Header;
  EFI_GUID FileGuid;
};

UINTN NodeLength(const EFI_DEVICE_PATH_PROTOCOL *node) {
  return static_cast<UINTN>(node->Length[0]) |
         (static_cast<UINTN>(node->Length[1]) << 8);
}

// The last node of the media subtype in a device path, or null.
const EFI_DEVICE_PATH_PROTOCOL *LastMediaNode(
    const EFI_DEVICE_PATH_PROTOCOL *node, UINT8 subType) {
  const EFI_DEVICE_PATH_PROTOCOL *found = nullptr;
  while (node != nullptr && node->Type != kEndDevicePath) {
    const UINTN length = NodeLength(node);
    if (length < sizeof(EFI_DEVICE_PATH_PROTOCOL)) {
      break;
    }
    if (node->Type == kMediaDevicePath && node->SubType == subType) {
      found = node;
    }
    node = reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(
        reinterpret_cast<const UINT8 *>(node) + length);
  }
  return found;
}

const CHAR16 *FileName(const EFI_LOADED_IMAGE_PROTOCOL *image) {
  const EFI_DEVICE_PATH_PROTOCOL *node =
      LastMediaNode(image->FilePath, kMediaFilePathSubType);
  return node == nullptr ? nullptr : reinterpret_cast<const CHAR16 *>(node + 1);
}

const EFI_GUID *FileGuid(const EFI_LOADED_IMAGE_PROTOCOL *image) {
  const EFI_DEVICE_PATH_PROTOCOL *node =
      LastMediaNode(image->FilePath, kMediaFvFileSubType);
  if (node == nullptr || NodeLength(node) < sizeof(FvFileNode)) {
    return nullptr;
  }
  return &reinterpret_cast<const FvFileNode *>(node)->FileGuid;
}

CHAR16 Lower(CHAR16 c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<CHAR16>(c - 'A' + 'a') : c;
}

// Compared without case, as the FAT file system names files.
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

// The driver's image as this loaded image, or one with a null image.
DriverImage AsDriverImage(EFI_LOADED_IMAGE_PROTOCOL *image) {
  const CHAR16 *name = FileName(image);
  if (name != nullptr && EndsWith(name, kDriverFileName)) {
    return {image, name, nullptr};
  }
  const EFI_GUID *guid = FileGuid(image);
  if (guid != nullptr && SameGuid(*guid, kDriverFileGuid)) {
    return {image, nullptr, guid};
  }
  return {nullptr, nullptr, nullptr};
}

}  // namespace

DriverImage FindDriverImage(EFI_BOOT_SERVICES *boot) {
  DriverImage found = {nullptr, nullptr, nullptr};
  UINTN count = 0;
  EFI_HANDLE *handles = nullptr;
  if (EFI_ERROR(LocateHandleBufferOf(boot)(ByProtocol,
                                           GuidArg(kLoadedImageProtocolGuid),
                                           nullptr, &count, &handles))) {
    return found;
  }
  for (UINTN i = 0; i < count && found.image == nullptr; ++i) {
    EFI_LOADED_IMAGE_PROTOCOL *image = nullptr;
    if (!EFI_ERROR(boot->HandleProtocol(handles[i],
                                        GuidArg(kLoadedImageProtocolGuid),
                                        reinterpret_cast<VOID **>(&image))) &&
        image != nullptr) {
      found = AsDriverImage(image);
    }
  }
  boot->FreePool(handles);
  return found;
}

VOID LineDriverImagePath(TextLine &line, const DriverImage &driver) {
  if (driver.fileGuid != nullptr) {
    LineText(line, "FvFile(");
    LineGuid(line, *driver.fileGuid);
    LineText(line, ")");
    return;
  }
  LineWide(line, driver.fileName);
}

VOID LineDriverImageOrigin(TextLine &line, const DriverImage &driver) {
  if (driver.fileGuid != nullptr) {
    LineText(line, " from=fv-file guid=");
    LineGuid(line, *driver.fileGuid);
  } else if (driver.fileName != nullptr) {
    LineText(line, " from=file");
  }
}
