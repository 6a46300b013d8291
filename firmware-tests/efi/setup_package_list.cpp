#include "firmware-tests/efi/setup_package_list.h"

#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/text_line.h"

namespace {

struct NamedPackageList {
  const CHAR8 *name;
  const EFI_GUID *guid;
};
constexpr NamedPackageList kNamedPackageLists[] = {
    {"Setup", &kSetupPackageListGuid}};

// Exporting a package list writes it whole; its header says whose it is.
BOOLEAN ListIs(EFI_BOOT_SERVICES *boot, const HiiServices &hii,
               EFI_HII_HANDLE handle, const EFI_GUID &guid) {
  UINTN size = 0;
  EFI_STATUS status =
      hii.database->ExportPackageLists(hii.database, handle, &size, nullptr);
  if (status != EFI_BUFFER_TOO_SMALL ||
      size < sizeof(EFI_HII_PACKAGE_LIST_HEADER)) {
    return FALSE;
  }
  EFI_HII_PACKAGE_LIST_HEADER *list = nullptr;
  if (EFI_ERROR(boot->AllocatePool(EfiBootServicesData, size,
                                   reinterpret_cast<VOID **>(&list)))) {
    return FALSE;
  }
  status = hii.database->ExportPackageLists(hii.database, handle, &size, list);
  const BOOLEAN same =
      !EFI_ERROR(status) && SameGuid(list->PackageListGuid, guid);
  boot->FreePool(list);
  return same;
}

}  // namespace

EFI_STATUS LocateHii(EFI_BOOT_SERVICES *boot, HiiServices &hii) {
  EFI_STATUS status =
      boot->LocateProtocol(GuidArg(kHiiDatabaseProtocolGuid), nullptr,
                           reinterpret_cast<VOID **>(&hii.database));
  if (EFI_ERROR(status)) {
    return status;
  }
  return boot->LocateProtocol(GuidArg(kHiiStringProtocolGuid), nullptr,
                              reinterpret_cast<VOID **>(&hii.strings));
}

EFI_HII_HANDLE FindPackageListByName(EFI_BOOT_SERVICES *boot,
                                     const HiiServices &hii,
                                     const CHAR8 *name) {
  const EFI_GUID *wanted = nullptr;
  for (const NamedPackageList &named : kNamedPackageLists) {
    if (TextEqual(named.name, name)) {
      wanted = named.guid;
    }
  }
  if (wanted == nullptr) {
    return nullptr;
  }
  UINTN size = 0;
  EFI_STATUS status = hii.database->ListPackageLists(
      hii.database, kHiiPackageTypeAll, nullptr, &size, nullptr);
  if (status != EFI_BUFFER_TOO_SMALL) {
    return nullptr;
  }
  EFI_HII_HANDLE *handles = nullptr;
  if (EFI_ERROR(boot->AllocatePool(EfiBootServicesData, size,
                                   reinterpret_cast<VOID **>(&handles)))) {
    return nullptr;
  }
  EFI_HII_HANDLE found = nullptr;
  status = hii.database->ListPackageLists(hii.database, kHiiPackageTypeAll,
                                          nullptr, &size, handles);
  for (UINTN i = 0; !EFI_ERROR(status) && i < size / sizeof(EFI_HII_HANDLE);
       ++i) {
    if (ListIs(boot, hii, handles[i], *wanted)) {
      found = handles[i];
      break;
    }
  }
  boot->FreePool(handles);
  return found;
}

EFI_STATUS LanguagesOf(const HiiServices &hii, EFI_HII_HANDLE list,
                       PackageLanguages &languages) {
  CHAR8 text[64];
  UINTN size = sizeof(text);
  languages.count = 0;
  const EFI_STATUS status =
      hii.strings->GetLanguages(hii.strings, list, text, &size);
  if (EFI_ERROR(status)) {
    return status;
  }
  // "en-US;fr-FR": codes separated by semicolons.
  UINTN length = 0;
  for (UINTN i = 0; i < size && languages.count < 4; ++i) {
    const CHAR8 c = text[i];
    if (c == ';' || c == 0) {
      if (length > 0) {
        languages.code[languages.count++][length] = 0;
      }
      length = 0;
      if (c == 0) {
        break;
      }
    } else if (length + 1 < sizeof(languages.code[0])) {
      languages.code[languages.count][length++] = c;
    }
  }
  return EFI_SUCCESS;
}
