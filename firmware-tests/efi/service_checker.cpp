// Test-only EFI application run from the firmware shell after BoardConfigDxe
// and the companion were loaded (by the boot manager from Driver####
// options, or by the DXE core from a firmware volume). It finds the board
// service as any other driver would, calls its entries and prints one
// "BOARDCHECK" line per fact, then the companion's log as "BOARDSTAGE" lines.
#include "driver/board_service.h"
#include "firmware-tests/efi/driver_image.h"
#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/pad_store_probe.h"
#include "firmware-tests/efi/setup_package_list.h"
#include "firmware-tests/efi/text_line.h"
#include "platform/outside_services.h"
#include "sim/facts/board.h"
#include "sim/facts/efi_guids.h"

namespace {

// A write past either promised size shows as a changed canary byte.
constexpr UINTN kBufferSize = facts::kCheckerBufferSize;
static_assert(kBufferSize > facts::kLanFirstBufferSize &&
              kBufferSize > facts::kLanSecondBufferSize);

EFI_SYSTEM_TABLE *System;
EFI_BOOT_SERVICES *Boot;

VOID Say(TextLine &line) { LineEmit(line, System); }

// How the driver was loaded shows at the end: from=file (a Driver####
// option) or from=fv-file (dispatched from a firmware volume).
VOID ReportDriverImage() {
  TextLine line;
  const DriverImage driver = FindDriverImage(Boot);
  LineStart(line, "BOARDCHECK driver-image loaded=");
  LineDecimal(line, driver.image != nullptr ? 1 : 0);
  if (driver.image != nullptr) {
    LineText(line, " base=");
    LineHex(line, reinterpret_cast<UINTN>(driver.image->ImageBase));
    LineText(line, " size=");
    LineHex(line, driver.image->ImageSize);
    LineText(line, " path=");
    LineDriverImagePath(line, driver);
    LineDriverImageOrigin(line, driver);
  }
  Say(line);
}

VOID ReportServiceHandles() {
  UINTN count = 0;
  EFI_HANDLE *handles = nullptr;
  const EFI_STATUS status =
      LocateHandleBufferOf(Boot)(ByProtocol, GuidArg(facts::efi::kBoardService),
                                 nullptr, &count, &handles);
  if (EFI_ERROR(status)) {
    count = 0;
  } else {
    Boot->FreePool(handles);
  }
  TextLine line;
  LineStart(line, "BOARDCHECK board-service handles=");
  LineDecimal(line, count);
  Say(line);
}

VOID ReportEntryValue(UINTN entry, const CHAR8 *kind, UINT64 value) {
  TextLine line;
  LineStart(line, "BOARDCHECK entry ");
  LineDecimal(line, entry);
  LineText(line, " ");
  LineText(line, kind);
  LineText(line, "=");
  LineHex(line, value);
  Say(line);
}

VOID CallEntries(BOARD_SERVICE_PROTOCOL *service) {
  // BOOLEAN results are one byte; the rest of the register is not defined.
  ReportEntryValue(0, "boolean", static_cast<UINT8>(service->Entry0()));
  ReportEntryValue(1, "status", service->Entry1());
  ReportEntryValue(2, "boolean", static_cast<UINT8>(service->Entry2()));
  ReportEntryValue(5, "boolean", static_cast<UINT8>(service->Entry5()));
  ReportEntryValue(6, "status", service->Entry6());
  ReportEntryValue(3, "pointer", reinterpret_cast<UINTN>(service->Entry3));
  ReportEntryValue(7, "pointer", reinterpret_cast<UINTN>(service->Entry7));

  UINT8 first[kBufferSize];
  UINT8 second[kBufferSize];
  for (UINTN i = 0; i < kBufferSize; ++i) {
    first[i] = facts::kLanFirstCanary;
    second[i] = facts::kLanSecondCanary;
  }
  const EFI_STATUS status = service->CollectOnboardLanMacs(first, second);
  TextLine line;
  LineStart(line, "BOARDCHECK entry 4 status=");
  LineHex(line, status);
  Say(line);
  LineStart(line, "BOARDCHECK entry 4 first=");
  LineBytes(line, first, kBufferSize);
  Say(line);
  LineStart(line, "BOARDCHECK entry 4 second=");
  LineBytes(line, second, kBufferSize);
  Say(line);
}

// The board's Setup string service refuses a name or an identifier it does
// not hold; the texts read back afterwards show that it changed nothing.
VOID ReportSetupRefusals() {
  SetupStringService *service = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kSetupStringService), nullptr,
                           reinterpret_cast<VOID **>(&service));
  struct Refused {
    const CHAR8 *name;
    UINTN id;
  };
  const Refused refused[] = {
      {"Nowhere", facts::kRiserPromptStringId},
      {facts::kSetupFormName, facts::kRiserHelpStringId + 1}};
  for (const Refused &call : refused) {
    TextLine line;
    LineStart(line, "BOARDCHECK setup-refusal name=");
    LineText(line, call.name);
    LineText(line, " id=");
    LineHex(line, call.id);
    LineText(line, " status=");
    LineHex(line, EFI_ERROR(status)
                      ? status
                      : service->ReplaceString(call.name, call.id, "REFUSED"));
    Say(line);
  }
}

// The riser option's two strings as the firmware's HII database holds them,
// in every language of the board's Setup package list.
VOID ReportSetupTexts() {
  HiiServices hii = {};
  const EFI_STATUS status = LocateHii(Boot, hii);
  const EFI_HII_HANDLE list =
      EFI_ERROR(status)
          ? nullptr
          : FindPackageListByName(Boot, hii, facts::kSetupFormName);
  PackageLanguages languages = {};
  TextLine line;
  LineStart(line, "BOARDCHECK setup-form found=");
  LineDecimal(line, list != nullptr ? 1 : 0);
  if (list != nullptr && !EFI_ERROR(LanguagesOf(hii, list, languages))) {
    LineText(line, " languages=");
    LineDecimal(line, languages.count);
  }
  Say(line);
  const EFI_STRING_ID ids[] = {facts::kRiserPromptStringId,
                               facts::kRiserHelpStringId};
  for (UINTN i = 0; i < languages.count; ++i) {
    for (const EFI_STRING_ID id : ids) {
      CHAR16 text[128];
      UINTN size = sizeof(text);
      const EFI_STATUS got = hii.strings->GetString(
          hii.strings, languages.code[i], list, id, text, &size, nullptr);
      LineStart(line, "BOARDCHECK setup-text lang=");
      LineText(line, languages.code[i]);
      LineText(line, " id=");
      LineHex(line, id);
      LineText(line, " status=");
      LineHex(line, got);
      LineText(line, " text=");
      if (!EFI_ERROR(got)) {
        LineWide(line, text);
      }
      Say(line);
    }
  }
}

// Only on a laid-out board, after every entry the driver's work may depend
// on has been called.
VOID ReportPadStore() {
  PadStore probe = {};
  if (!ProbePadStore(probe)) {
    return;
  }
  const struct {
    const CHAR8 *name;
    UINT64 value;
  } fields[] = {{" owner=", probe.owner},
                {" before=", probe.before},
                {" stored=", probe.stored},
                {" read=", probe.readBack},
                {" restored=", probe.restored}};
  TextLine line;
  LineStart(line, "BOARDCHECK pad-store address=");
  LineHex(line, probe.address);
  for (const auto &field : fields) {
    LineText(line, field.name);
    LineHex(line, field.value);
  }
  Say(line);
}

VOID ReportCompanionLog() {
  StageLogProtocol *log = nullptr;
  const EFI_STATUS status = Boot->LocateProtocol(
      GuidArg(kStageLogProtocolGuid), nullptr, reinterpret_cast<VOID **>(&log));
  TextLine line;
  if (EFI_ERROR(status) || log == nullptr ||
      log->Signature != kStageLogSignature) {
    LineStart(line, "BOARDCHECK companion-log missing status=");
    LineHex(line, status);
    Say(line);
    return;
  }
  LineStart(line, "BOARDSTAGE ");
  for (UINTN i = 0; i < log->Length && i < sizeof(log->Text); ++i) {
    if (log->Text[i] == '\n') {
      Say(line);
      LineStart(line, "BOARDSTAGE ");
    } else {
      const CHAR8 text[2] = {log->Text[i], 0};
      LineText(line, text);
    }
  }
  LineStart(line, "BOARDCHECK companion-log bytes=");
  LineDecimal(line, log->Length);
  Say(line);
}

}  // namespace

extern "C" EFI_STATUS EFIAPI CheckerEntry(EFI_HANDLE,
                                          EFI_SYSTEM_TABLE *system) {
  System = system;
  Boot = system->BootServices;
  TextLine line;
  LineStart(line, "BOARDCHECK begin");
  Say(line);

  ReportDriverImage();

  BOARD_SERVICE_PROTOCOL *service = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kBoardService), nullptr,
                           reinterpret_cast<VOID **>(&service));
  LineStart(line, "BOARDCHECK board-service status=");
  LineHex(line, status);
  Say(line);
  ReportServiceHandles();
  if (!EFI_ERROR(status) && service != nullptr) {
    CallEntries(service);
  }
  ReportSetupRefusals();
  ReportSetupTexts();
  ReportPadStore();

  ReportCompanionLog();
  LineStart(line, "BOARDCHECK end");
  Say(line);
  return EFI_SUCCESS;
}
