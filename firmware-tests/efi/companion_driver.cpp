// Test-only boot-service driver that runs after BoardConfigDxe: loaded by
// the boot manager right after it (Driver#### options), or dispatched by
// the DXE core after it installed its board service (a firmware volume).
// It plays the board firmware around the driver: it moves a laid-out board
// into the chipset windows (chipset_windows), serves SMBIOS records on top
// of the firmware's own SMBIOS protocol (slot_records,
// smbios_record_service), holds the board's Setup form in the firmware's HII
// database (board_setup_form) and replaces its strings for the driver
// (setup_string_service), and names the two LAN bridges (bridge_location).
// The form is there from its start; the rest follows once PCI enumeration
// is complete (after_pci_enumeration). Everything
// it does is kept in a log that the checker prints later (stage_log). This
// file is its entry, its steps and the diagnostics that tell the stage's
// runs apart.
#include "firmware-tests/efi/after_pci_enumeration.h"
#include "firmware-tests/efi/board_setup_form.h"
#include "firmware-tests/efi/bridge_location.h"
#include "firmware-tests/efi/chipset_windows.h"
#include "firmware-tests/efi/driver_image.h"
#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/firmware_smbios.h"
#include "firmware-tests/efi/setup_string_service.h"
#include "firmware-tests/efi/slot_records.h"
#include "firmware-tests/efi/smbios_record_service.h"
#include "firmware-tests/efi/stage_log.h"
#include "sim/facts/efi_guids.h"

namespace {

EFI_BOOT_SERVICES *Boot;
EFI_HANDLE Image;
DriverImageSpan Driver;

// Also shows whether the driver installed its service before any of the
// outside services it waits for exists.
DriverImageSpan LocateDriverImage() {
  DriverImageSpan span = {0, 0};
  TextLine line;
  const DriverImage driver = FindDriverImage(Boot);
  LineStart(line, "driver-image found=");
  LineDecimal(line, driver.image != nullptr ? 1 : 0);
  if (driver.image != nullptr) {
    span.start = reinterpret_cast<UINTN>(driver.image->ImageBase);
    span.end = span.start + driver.image->ImageSize;
    LineText(line, " base=");
    LineHex(line, span.start);
    LineText(line, " size=");
    LineHex(line, driver.image->ImageSize);
    LineDriverImageOrigin(line, driver);
  }
  Record(line);

  VOID *board = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kBoardService), nullptr, &board);
  LineStart(line, "board-service before-services status=");
  LineHex(line, status);
  Record(line);
  return span;
}

// Tells the SMM build from the plain one: only there does the driver's
// start-up find the SMM base protocol and ask it whether it runs in SMM.
VOID ReportSmmBase() {
  EFI_SMM_BASE2_PROTOCOL *smmBase = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kSmmBase2Protocol), nullptr,
                           reinterpret_cast<VOID **>(&smmBase));
  TextLine line;
  LineStart(line, "smm-base2 status=");
  LineHex(line, status);
  if (!EFI_ERROR(status) && smmBase != nullptr) {
    BOOLEAN inSmm = 0xEE;
    const EFI_STATUS asked = smmBase->InSmm(smmBase, &inSmm);
    LineText(line, " in-smm=");
    LineHex(line, inSmm);
    LineText(line, " in-smm-status=");
    LineHex(line, asked);
  }
  Record(line);
}

// Ready-to-boot is when the driver drives GPP_B0: the windows must still
// hold then.
VOID EFIAPI OnReadyToBoot(EFI_EVENT event, VOID *) {
  Boot->CloseEvent(event);
  TextLine line;
  LineStart(line, "ready-to-boot signalled");
  Record(line);
  ReportWindowsHeld("ready-to-boot");
}

VOID WatchReadyToBoot() {
  EFI_EVENT ready = nullptr;
  const EFI_STATUS status =
      Boot->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnReadyToBoot,
                          nullptr, &facts::efi::kReadyToBootEventGroup, &ready);
  TextLine line;
  LineStart(line, "ready-to-boot watch status=");
  LineHex(line, status);
  Record(line);
}

VOID InstallService(const EFI_GUID &guid, VOID *service, const CHAR8 *name) {
  EFI_HANDLE handle = nullptr;
  // The step runs at TPL_CALLBACK: the driver's notification, queued at
  // that level, runs after the step and before the next one.
  const EFI_STATUS status = Boot->InstallProtocolInterface(
      &handle, GuidArg(guid), EFI_NATIVE_INTERFACE, service);
  TextLine line;
  LineStart(line, "installed ");
  LineText(line, name);
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
}

// The driver touches hardware only from the notifications that the
// services' installations trigger: the board, the companion's records and
// the bridge names are in place before the first.
BOOLEAN LayOutBoardThenInstallSmbiosRecords() {
  MoveChipsetWindows();
  if (EFI_ERROR(LocateFirmwareSmbios(Boot))) {
    return FALSE;  // stays loaded so the checker can print why
  }
  AddSlotRecords(Image);
  TakeOverBridgeLocation(Boot, Driver);
  InstallService(facts::efi::kSmbiosRecordService,
                 SmbiosRecordServiceInterface(Boot), "smbios-record-service");
  return TRUE;
}

BOOLEAN InstallSetupStrings() {
  InstallService(facts::efi::kSetupStringService,
                 SetupStringServiceInterface(Boot), "setup-string-service");
  return TRUE;
}

BOOLEAN Done() {
  TextLine line;
  LineStart(line, "companion done");
  Record(line);
  return TRUE;
}

constexpr CompanionStep kSteps[] = {LayOutBoardThenInstallSmbiosRecords,
                                    InstallSetupStrings, Done};

}  // namespace

extern "C" EFI_STATUS EFIAPI CompanionEntry(EFI_HANDLE image,
                                            EFI_SYSTEM_TABLE *system) {
  Boot = system->BootServices;
  Image = image;

  EFI_STATUS status = PublishStageLog(system);
  if (EFI_ERROR(status)) {
    return status;
  }
  TextLine line;
  LineStart(line, "companion start");
  Record(line);

  Driver = LocateDriverImage();
  ReportSmmBase();
  RegisterBoardSetupForm(system);
  WatchReadyToBoot();
  RunAfterPciEnumeration(Boot, kSteps, sizeof(kSteps) / sizeof(kSteps[0]));
  return EFI_SUCCESS;
}
