#include "firmware-tests/efi/board_setup_form.h"

#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/package_writer.h"
#include "firmware-tests/efi/setup_package_list.h"
#include "firmware-tests/efi/stage_log.h"
#include "sim/facts/board.h"

namespace {

constexpr EFI_GUID kBoardSetupFormsetGuid = {
    0x2A6F3D51,
    0x7C48,
    0x4B0E,
    {0xA9, 0x13, 0x5E, 0x80, 0xC2, 0x6D, 0x17, 0xB4}};
// The variable store of the checkbox, and the vendor node of the device path
// that the form's driver handle carries (the browser reaches a variable
// store through its form's device path).
constexpr EFI_GUID kBoardSetupVariableGuid = {
    0x8D3E09B6,
    0x41F2,
    0x4A7C,
    {0xB5, 0x6E, 0x92, 0x1C, 0x0A, 0x47, 0xE3, 0x58}};
CHAR16 kBoardSetupVariableName[] = {'B', 'o', 'a', 'r', 'd', 'S',
                                    'e', 't', 'u', 'p', 0};
constexpr UINT16 kVarStoreId = 1;
constexpr UINT16 kFormId = 1;
constexpr UINT16 kQuestionId = 1;

// Strings 1 to 3 of every language; the riser option's two follow at their
// own identifiers.
constexpr EFI_STRING_ID kTitleId = 1;
constexpr EFI_STRING_ID kHelpId = 2;
constexpr EFI_STRING_ID kLanguageNameId = 3;
static_assert(facts::kRiserPromptStringId > kLanguageNameId + 1 &&
              facts::kRiserHelpStringId == facts::kRiserPromptStringId + 1);
constexpr const CHAR8 *kFormsetHelp = "Settings of the board's riser slot";
constexpr const CHAR8 *kLanguageNames[] = {"English", "Francais"};
static_assert(sizeof(kLanguageNames) / sizeof(kLanguageNames[0]) ==
              sizeof(facts::kSetupLanguages) /
                  sizeof(facts::kSetupLanguages[0]));

struct VendorDevicePath {
  EFI_DEVICE_PATH_PROTOCOL vendor;
  EFI_GUID guid;
  EFI_DEVICE_PATH_PROTOCOL end;
} __attribute__((packed));
VendorDevicePath FormDevicePath = {
    {kHardwareDevicePath, kHardwareVendorSubType, {20, 0}},
    kBoardSetupVariableGuid,
    {kEndDevicePath, kEndEntireDevicePathSubType, {4, 0}}};

UINT8 PackageList[2048];

VOID WriteForms(PackageWriter &out) {
  const UINTN package = out.OpenPackage();
  const UINTN formset = out.OpenOp(kIfrFormSetOp);
  out.Guid(kBoardSetupFormsetGuid);
  out.Word(kTitleId);
  out.Word(kHelpId);
  out.Byte(1);  // class GUIDs that follow
  out.Guid(kHiiPlatformSetupFormsetGuid);
  out.CloseOp(formset, true);

  const UINTN store = out.OpenOp(kIfrVarStoreEfiOp);
  out.Word(kVarStoreId);
  out.Guid(kBoardSetupVariableGuid);
  out.Dword(kVariableNonVolatile | kVariableBootServiceAccess);
  out.Word(1);  // bytes
  out.Ascii("BoardSetup");
  out.CloseOp(store, false);

  const UINTN form = out.OpenOp(kIfrFormOp);
  out.Word(kFormId);
  out.Word(kTitleId);
  out.CloseOp(form, true);

  const UINTN option = out.OpenOp(kIfrCheckBoxOp);
  out.Word(facts::kRiserPromptStringId);
  out.Word(facts::kRiserHelpStringId);
  out.Word(kQuestionId);
  out.Word(kVarStoreId);
  out.Word(0);  // offset in the store
  out.Byte(0);  // question flags
  out.Byte(kCheckBoxDefault);
  out.CloseOp(option, false);

  out.CloseOp(out.OpenOp(kIfrEndOp), false);  // the form
  out.CloseOp(out.OpenOp(kIfrEndOp), false);  // the formset
  out.ClosePackage(package, kHiiPackageForms);
}

VOID WriteStrings(PackageWriter &out, const facts::SetupLanguage &language,
                  const CHAR8 *languageName) {
  const UINTN package = out.OpenPackage();
  const UINTN headerSize = out.Mark();
  out.Dword(0);  // header size, then where the string blocks start
  out.Dword(0);
  for (UINTN i = 0; i < 16; ++i) {
    out.Word(0);  // language window
  }
  out.Word(kLanguageNameId);
  out.Ascii(language.code);
  const UINT32 header = static_cast<UINT32>(out.Mark() - package);
  out.PatchDword(headerSize, header);
  out.PatchDword(headerSize + 4, header);

  out.Byte(kStringBlockUcs2);
  out.Ucs2(facts::kSetupFormsetTitle);
  out.Byte(kStringBlockUcs2);
  out.Ucs2(kFormsetHelp);
  out.Byte(kStringBlockUcs2);
  out.Ucs2(languageName);
  out.Byte(kStringBlockSkip2);
  out.Word(facts::kRiserPromptStringId - (kLanguageNameId + 1));
  out.Byte(kStringBlockUcs2);
  out.Ucs2(language.prompt);
  out.Byte(kStringBlockUcs2);
  out.Ucs2(language.help);
  out.Byte(kStringBlockEnd);
  out.ClosePackage(package, kHiiPackageStrings);
}

// Returns the bytes written, 0 when the buffer was too small.
UINTN WritePackageList() {
  PackageWriter out(PackageList, sizeof(PackageList));
  out.Guid(kSetupPackageListGuid);
  out.Dword(0);  // the list's length, written last
  WriteForms(out);
  for (UINTN i = 0; i < sizeof(kLanguageNames) / sizeof(kLanguageNames[0]);
       ++i) {
    WriteStrings(out, facts::kSetupLanguages[i], kLanguageNames[i]);
  }
  out.ClosePackage(out.OpenPackage(), kHiiPackageEnd);
  out.PatchDword(sizeof(EFI_GUID), static_cast<UINT32>(out.Mark()));
  return out.Overflowed() ? 0 : out.Mark();
}

VOID LogStep(const CHAR8 *what, EFI_STATUS status) {
  TextLine line;
  LineStart(line, "setup-form ");
  LineText(line, what);
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
}

}  // namespace

VOID RegisterBoardSetupForm(EFI_SYSTEM_TABLE *system) {
  EFI_BOOT_SERVICES *boot = system->BootServices;
  HiiServices hii = {};
  EFI_STATUS status = LocateHii(boot, hii);
  if (EFI_ERROR(status)) {
    LogStep("hii", status);
    return;
  }
  // The checkbox reads its value from this variable: checked.
  UINT8 enabled = 1;
  auto *runtime = static_cast<EFI_RUNTIME_SERVICES_UP_TO_SET_VARIABLE *>(
      system->RuntimeServices);
  status = runtime->SetVariable(
      kBoardSetupVariableName, GuidArg(kBoardSetupVariableGuid),
      kVariableNonVolatile | kVariableBootServiceAccess, sizeof(enabled),
      &enabled);
  LogStep("variable", status);

  EFI_HANDLE driver = nullptr;
  status =
      boot->InstallProtocolInterface(&driver, GuidArg(kDevicePathProtocolGuid),
                                     EFI_NATIVE_INTERFACE, &FormDevicePath);
  if (EFI_ERROR(status)) {
    LogStep("device-path", status);
    return;
  }
  if (WritePackageList() == 0) {
    LogStep("package-list", EFI_BUFFER_TOO_SMALL);
    return;
  }
  EFI_HII_HANDLE registered = nullptr;
  status = hii.database->NewPackageList(
      hii.database,
      reinterpret_cast<const EFI_HII_PACKAGE_LIST_HEADER *>(PackageList),
      driver, &registered);
  LogStep("registered", status);
}
