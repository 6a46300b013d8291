#include "firmware-tests/efi/setup_string_service.h"

#include "firmware-tests/efi/setup_package_list.h"
#include "firmware-tests/efi/stage_log.h"
#include "firmware-tests/efi/unexpected_entry.h"

namespace {

EFI_BOOT_SERVICES *Boot;
SetupStringService Interface;

constexpr UINTN kLongestText = 127;

BOOLEAN HoldsString(const HiiServices &hii, EFI_HII_HANDLE list,
                    const CHAR8 *language, EFI_STRING_ID id) {
  CHAR16 probe[1];
  UINTN size = sizeof(probe);
  const EFI_STATUS status = hii.strings->GetString(hii.strings, language, list,
                                                   id, probe, &size, nullptr);
  return status == EFI_SUCCESS || status == EFI_BUFFER_TOO_SMALL;
}

EFI_STATUS Replace(const CHAR8 *name, UINTN stringId, const CHAR8 *text) {
  HiiServices hii = {};
  EFI_STATUS status = LocateHii(Boot, hii);
  if (EFI_ERROR(status)) {
    return status;
  }
  const EFI_HII_HANDLE list = FindPackageListByName(Boot, hii, name);
  PackageLanguages languages = {};
  if (list == nullptr || stringId > 0xFFFF ||
      EFI_ERROR(LanguagesOf(hii, list, languages)) || languages.count == 0) {
    return EFI_NOT_FOUND;
  }
  const auto id = static_cast<EFI_STRING_ID>(stringId);
  for (UINTN i = 0; i < languages.count; ++i) {
    if (!HoldsString(hii, list, languages.code[i], id)) {
      return EFI_NOT_FOUND;
    }
  }
  CHAR16 wide[kLongestText + 1];
  UINTN length = 0;
  for (; text[length] != 0; ++length) {
    if (length == kLongestText) {
      return EFI_INVALID_PARAMETER;
    }
    wide[length] = static_cast<UINT8>(text[length]);
  }
  wide[length] = 0;
  for (UINTN i = 0; i < languages.count && !EFI_ERROR(status); ++i) {
    status = hii.strings->SetString(hii.strings, list, id, languages.code[i],
                                    wide, nullptr);
  }
  return status;
}

// Entry 1.
EFI_STATUS EFIAPI ReplaceString(const CHAR8 *name, UINTN stringId,
                                const CHAR8 *text) {
  const EFI_STATUS status = Replace(name, stringId, text);
  TextLine line;
  LineStart(line, "setup-string name=");
  LineText(line, name);
  LineText(line, " id=");
  LineHex(line, stringId);
  LineText(line, " status=");
  LineHex(line, status);
  LineText(line, " text=");
  LineText(line, text);
  Record(line);
  return status;
}

}  // namespace

SetupStringService *SetupStringServiceInterface(EFI_BOOT_SERVICES *boot) {
  Boot = boot;
  Interface.Entry0 = UnexpectedEntrySlot<100>();
  Interface.ReplaceString = ReplaceString;
  return &Interface;
}
